// The computer name inside a cluster system's "SysInfo" text: the part
// before the first comma, and of that the part after the first colon. Pure,
// without Windows headers, so it can be fuzzed natively.
#pragma once

#include <string>
#include <string_view>

struct CSysInfoName
{
    // What the text gave, for the log: a name, or why it is odd.
    enum class Shape
    {
        Name,        // a usable computer name
        NoComma,     // no comma: the name is empty
        EmptyName,   // a comma, but nothing in front of it (after the colon)
        NotComputer, // longer than a computer name, or with control characters
    };

    std::string name;
    Shape shape = Shape::NoComma;

    // Longest NetBIOS computer name.
    static constexpr size_t kMaxComputerName = 15;

    static CSysInfoName FromText(std::string_view text);
};
