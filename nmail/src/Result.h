#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <utility>
#include <variant>

namespace nmail {

// Why a call failed: one of the stable NMAIL_ERR_* values and the text NMailGetMessage gives
// (one sentence in the user's language, then the server's or the system's own words when there
// are any).
struct Failure
{
    int32_t code = 0;
    QString message;
    // The server's certificate when it is why the call failed, for the user to judge.
    struct Certificate
    {
        QString subject;
        QString validity;
        QString fingerprint; // SHA-256
        QString problem;     // which check it failed, in the user's language
    };
    std::optional<Certificate> certificate;
};

Failure makeFailure(int32_t code, const QString& sentence, const QString& detail = {});

// A value or the failure that prevented it. Callers check ok() and pass failure() up at once.
template <typename T>
class Result
{
public:
    Result(T value) : m_data(std::move(value)) {}
    Result(Failure failure) : m_data(std::move(failure)) {}

    bool ok() const { return m_data.index() == 0; }
    const T& value() const& { return std::get<0>(m_data); }
    T&& value() && { return std::get<0>(std::move(m_data)); }
    const Failure& failure() const { return std::get<1>(m_data); }

private:
    std::variant<T, Failure> m_data;
};

struct Done
{
};

} // namespace nmail
