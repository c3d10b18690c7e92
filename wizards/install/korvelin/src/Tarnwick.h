// The application object: start-up of the wizard.
#pragma once

#include "Status.h"

class CTarnwickApp
{
public:
    static constexpr wchar_t kApplicationName[] = L"Korvelin";
    static constexpr uint32_t kComponentNumber = 13;

    // The start-up sequence; always 0 (no message loop follows).
    int InitInstance() noexcept;

    [[nodiscard]] CStatus CreateLogFile() noexcept;
    [[nodiscard]] CStatus _StartupChecks() noexcept;
};

extern CTarnwickApp theApp;
