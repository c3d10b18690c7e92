// ImportLabKeys: see ScenarioImport.h.
#include "ScenarioImport.h"

#include "UniqueResource.h"

#include <windows.h>

#include <fstream>
#include <regex>

bool ImportLabKeys(const std::string& scenario)
{
    std::ifstream base(std::string(KV_SCENARIOS "/") + scenario + "/base");
    if (std::string baseName; base >> baseName && !ImportLabKeys(baseName))
        return false;
    std::ifstream file(std::string(KV_SCENARIOS "/") + scenario + "/node.reg");
    const std::regex labSection(R"(^\[-?HKEY_LOCAL_MACHINE\\SOFTWARE\\KorvelinLab[\\\]])");
    std::string text = "Windows Registry Editor Version 5.00\n";
    bool lab = false;
    for (std::string line; std::getline(file, line);)
        if ((lab = line.rfind('[', 0) == 0 ? std::regex_search(line, labSection) : lab))
            text += line + "\n";
    // A file of its own each time: the last one may still be on its way out
    // when regedit has just ended, and could not be opened again.
    char folder[MAX_PATH] = {}, temp[MAX_PATH] = {};
    if (!::GetTempPathA(MAX_PATH, folder) || !::GetTempFileNameA(folder, "kvl", 0, temp))
        return false;
    const std::string path = temp;
    if (!(std::ofstream(path) << text))
        return false;
    std::wstring command = L"regedit.exe /s \"" + std::wstring(path.begin(), path.end()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    const unique_handle child(process.hProcess), thread(process.hThread);
    const bool imported = ::WaitForSingleObject(child.get(), 30000) == WAIT_OBJECT_0;
    ::DeleteFileA(path.c_str());
    return imported;
}
