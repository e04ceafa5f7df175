// Finding, validating and loading the effect library: its property list is
// read without running plug-in code, then the library is loaded and the entry
// point looked up by the name the list gives.
#include <fstream>
#include <iterator>

#include "minihost/host_state.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#include <climits>
#endif

namespace minihost {
namespace {

#ifdef _WIN32
constexpr char pathSeparator = '\\';
constexpr const char *pluginFileName = "VomrelPathBloom.aex";
#else
constexpr char pathSeparator = '/';
constexpr const char *pluginFileName = "VomrelPathBloom.so";
#endif

bool fileExists(const std::string &path) { return std::ifstream(path, std::ios::binary).good(); }

std::string executableFolder() {
#ifdef _WIN32
    char buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::string path(buffer, length);
#else
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    std::string path(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
#endif
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

std::string defaultPluginPath() {
    const std::string folder = executableFolder();
    const std::string inPluginFolder = folder + pathSeparator + "plugin" + pathSeparator + pluginFileName;
    const std::string beside = folder + pathSeparator + pluginFileName;
    if (!fileExists(inPluginFolder) && fileExists(beside)) return beside;
    return inPluginFolder;
}

bool readPluginPipl(const std::string &pluginPath, std::vector<uint8_t> &bytes, std::string &error) {
    bytes.clear();
#ifdef _WIN32
    // Loaded as data only: no code of the plug-in runs.
    HMODULE module = LoadLibraryExA(pluginPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        error = "cannot open " + pluginPath + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    bool found = false;
    if (HRSRC resource = FindResourceExA(module, "PiPL", MAKEINTRESOURCEA(16000), 1033)) {
        const DWORD size = SizeofResource(module, resource);
        HGLOBAL loaded = LoadResource(module, resource);
        const void *data = loaded ? LockResource(loaded) : nullptr;
        if (data && size) {
            const uint8_t *begin = static_cast<const uint8_t *>(data);
            bytes.assign(begin, begin + size);
            found = true;
        }
    }
    FreeLibrary(module);
    if (!found) {
        error = pluginPath + " has no PiPL resource 16000 (language 1033)";
        return false;
    }
    return true;
#else
    // The list lives beside the library, under the library's name with ".pipl".
    const auto slash = pluginPath.find_last_of('/');
    const auto dot = pluginPath.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string piplPath = (hasExtension ? pluginPath.substr(0, dot) : pluginPath) + ".pipl";
    std::ifstream file(piplPath, std::ios::binary);
    if (!file) {
        error = "no property list " + piplPath + " beside " + pluginPath;
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (bytes.empty()) {
        error = "property list " + piplPath + " is empty";
        return false;
    }
    return true;
#endif
}

bool openPlugin(Host &host, const std::string &path, std::string &error) {
    closePlugin(host);
    std::vector<uint8_t> bytes;
    PiplInfo info;
    if (!readPluginPipl(path, bytes, error)) return false;
    if (!parsePipl(bytes, info, error)) {
        error = path + ": " + error;
        return false;
    }
#ifdef _WIN32
    HMODULE library = LoadLibraryA(path.c_str());
    if (!library) {
        error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    auto entry = reinterpret_cast<PF_EntryPointFunc>(
        reinterpret_cast<void *>(GetProcAddress(library, info.entryPointName.c_str())));
    if (!entry) {
        FreeLibrary(library);
        error = path + " exports no \"" + info.entryPointName + "\"";
        return false;
    }
#else
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char *why = dlerror();
        error = "cannot load " + path + ": " + (why ? why : "unknown error");
        return false;
    }
    auto entry = reinterpret_cast<PF_EntryPointFunc>(dlsym(library, info.entryPointName.c_str()));
    if (!entry) {
        dlclose(library);
        error = path + " exports no \"" + info.entryPointName + "\"";
        return false;
    }
#endif
    host.pluginPath = path;
    host.library = reinterpret_cast<void *>(library);
    host.entry = entry;
    host.pipl = info;
    error.clear();
    return true;
}

void closePlugin(Host &host) {
    if (host.library) {
#ifdef _WIN32
        FreeLibrary(reinterpret_cast<HMODULE>(host.library));
#else
        dlclose(host.library);
#endif
    }
    host.library = nullptr;
    host.entry = nullptr;
}

}  // namespace minihost
