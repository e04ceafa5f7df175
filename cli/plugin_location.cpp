// Finding the plug-in file for the pathbloom command.
#include "cli/plugin_location.h"

#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#include <climits>
#endif

namespace pathbloom {

namespace {

#ifdef _WIN32
constexpr const char *pluginFileName = "VomrelPathBloom.aex";
#else
constexpr const char *pluginFileName = "VomrelPathBloom.so";
#endif

bool isFile(const std::string &path) {
    std::error_code fsError;
    return std::filesystem::is_regular_file(path, fsError);
}

std::string executableFolder() {
#ifdef _WIN32
    char buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    const std::filesystem::path exe(std::string(buffer, length));
#else
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    const std::filesystem::path exe(std::string(buffer, length > 0 ? size_t(length) : 0));
#endif
    return exe.has_parent_path() ? exe.parent_path().string() : std::string(".");
}

std::string listed(const std::vector<std::string> &places) {
    std::string text;
    for (const std::string &place : places) text += "\n  " + place;
    return text;
}

}  // namespace

std::vector<std::string> defaultPluginPlaces(const std::string &executableFolder) {
    const std::filesystem::path folder(executableFolder);
    return {(folder / "plugin" / pluginFileName).string(), (folder / pluginFileName).string(),
            (folder.parent_path() / "lib" / "vomrelpathbloom" / pluginFileName).lexically_normal().string()};
}

bool locatePlugin(const std::string &given, const char *environment, const std::string &executableFolder,
                  std::string &path, std::string &error) {
    if (!given.empty()) {
        path = given;
        return true;
    }
    const std::vector<std::string> places = defaultPluginPlaces(executableFolder);
    // A variable that names a missing file is a mistake to report, not a
    // reason to load some other plug-in in its place.
    if (environment && *environment) {
        if (isFile(environment)) {
            path = environment;
            return true;
        }
        error = std::string("no plug-in file at ") + environment + ", which " + pluginVariable +
                " names; set it to the plug-in's .so file, or unset it to look in" + listed(places);
        return false;
    }
    for (const std::string &place : places) {
        if (isFile(place)) {
            path = place;
            return true;
        }
    }
    error = std::string("no plug-in file found; looked for") + listed(places) + "\nname one with --plugin FILE or " +
            pluginVariable + "=FILE";
    return false;
}

bool findPlugin(const std::string &given, std::string &path, std::string &error) {
    return locatePlugin(given, std::getenv(pluginVariable), executableFolder(), path, error);
}

}  // namespace pathbloom
