#pragma once

#include "mail/MailLibrary.h"

#include <memory>

// The nmail library itself, as the mail module hands it to the program and tests take it.
std::unique_ptr<MailLibrary> MakeNMailLibrary();
