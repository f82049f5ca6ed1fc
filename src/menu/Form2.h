#pragma once

#include <QPointer>
#include <QWidget>

class QPushButton;

// The command bar below the kitten. While it is open it holds the kitten 1600 twips above and
// 100 twips to the right of its own top-left corner: moving the bar carries the kitten, and any
// other move of the kitten is undone at once.
class Form2 : public QWidget
{
    Q_OBJECT
public:
    // Shows the bar for this kitten: created, placed below the kitten and shown the first time,
    // brought forward when it is already open.
    static Form2& Open(QWidget& kitten);
    static Form2* Instance();

    void Command1_Click(); // 鳴かす
    void Command2_Click(); // 受信
    void Command3_Click(); // 設定
    void Command4_Click(); // HP
    void Command5_Click(); // 切断 (hidden below the client area)

    // Window position in twips (the outer window, title bar included).
    double Left() const;
    double Top() const;

    QPushButton* Command1 = nullptr; // owned by this window
    QPushButton* Command2 = nullptr; // owned by this window
    QPushButton* Command3 = nullptr; // owned by this window
    QPushButton* Command4 = nullptr; // owned by this window
    QPushButton* Command5 = nullptr; // owned by this window

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    explicit Form2(QWidget& kitten);
    void Load();
    void PlaceKitten();

    QPointer<QWidget> m_kitten;
    bool m_placing = false;
};
