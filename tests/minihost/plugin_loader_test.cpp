// Loading the effect library: the real plug-ins of every built profile load and
// answer, and broken files are refused with a message before any code runs.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "minihost/minihost.h"
#include "tests/support/plugin_paths.h"

namespace minihost {
namespace {

std::string temporaryFolder() {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "minihost_loader_test";
    std::filesystem::create_directories(folder);
    return folder.string();
}

#ifndef _WIN32
// File helpers of the tests on a library's .pipl file, which Windows builds lack.
void writeFile(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
#endif

TEST(PluginLoader, RefusesAMissingLibrary) {
    Host host;
    std::string error;
    EXPECT_FALSE(openPlugin(host, temporaryFolder() + "/NoSuchPlugin.so", error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(host.entry, nullptr);
    EXPECT_EQ(host.library, nullptr);
}

TEST(PluginLoader, DefaultPathNamesThePluginFile) {
    const std::string path = defaultPluginPath();
#ifdef _WIN32
    EXPECT_NE(path.find("VomrelPathBloom.aex"), std::string::npos);
#else
    EXPECT_NE(path.find("VomrelPathBloom.so"), std::string::npos);
#endif
}

TEST(PluginLoader, LoadsEveryBuiltProfile) {
    const std::vector<PluginUnderTest> plugins = pluginsUnderTest();
    ASSERT_FALSE(plugins.empty());
    for (const PluginUnderTest &plugin : plugins) {
        Host host;
        std::string error;
        ASSERT_TRUE(openPlugin(host, plugin.path, error)) << plugin.profile << ": " << error;
        EXPECT_NE(host.entry, nullptr);
        EXPECT_EQ(host.pipl.kind, "eFKT");
        EXPECT_EQ(host.pipl.name, "VomrelPathBloom");
        EXPECT_EQ(host.pipl.category, "Vomrel");
        EXPECT_EQ(host.pipl.matchName, "VomrelPathBloom by Orbenvail");
        EXPECT_EQ(host.pipl.entryPointName, "EntryPointFunc");
        EXPECT_EQ(host.pipl.entryPointKey, plugin.profile == "X64" ? "8664" : "wx86") << plugin.profile;
        EXPECT_EQ(host.pipl.effectVersion, 0x80601u);
        EXPECT_EQ(host.pipl.outFlags, 0x06000000u);
        EXPECT_EQ(host.pipl.outFlags2, 0x1400u);
        closePlugin(host);
        EXPECT_EQ(host.entry, nullptr);
    }
}

#ifndef _WIN32
// A copy of a real plug-in with its property list edited beside it.
struct EditedCopy {
    std::string library;
    std::string pipl;
};

EditedCopy copyPlugin(const std::string &name) {
    const std::string source = pluginsUnderTest().front().path;
    const std::string folder = temporaryFolder();
    EditedCopy copy{folder + "/" + name + ".so", folder + "/" + name + ".pipl"};
    writeFile(copy.library, readFile(source));
    writeFile(copy.pipl, readFile(source.substr(0, source.size() - 3) + ".pipl"));
    return copy;
}

void replaceAll(std::vector<uint8_t> &bytes, const std::string &from, const std::string &to) {
    ASSERT_EQ(from.size(), to.size());
    for (size_t i = 0; i + from.size() <= bytes.size(); ++i)
        if (std::equal(from.begin(), from.end(), bytes.begin() + long(i)))
            std::copy(to.begin(), to.end(), bytes.begin() + long(i));
}

// Opens an edited copy that must be refused: returns the message, and
// checks that no entry point is left behind.
std::string refusal(const EditedCopy &copy) {
    Host host;
    std::string error;
    EXPECT_FALSE(openPlugin(host, copy.library, error));
    EXPECT_EQ(host.entry, nullptr);
    return error;
}

TEST(PluginLoader, RefusesALibraryWithoutPropertyList) {
    const EditedCopy copy = copyPlugin("NoList");
    std::remove(copy.pipl.c_str());
    const std::string error = refusal(copy);
    EXPECT_NE(error.find("NoList.pipl"), std::string::npos) << error;
}

TEST(PluginLoader, RefusesAnEditedListWithAMessage) {
    struct Case {
        const char *copy, *from, *to;
        const char *message;  // part of the message
    };
    const Case cases[] = {
        {"WrongEntry", "EntryPointFunc", "EntryPointFunx", "EntryPointFunx"},  // not exported
        {"NotAnEffect", "TKFe", "RTLF", "kind"},
    };
    for (const Case &c : cases) {
        const EditedCopy copy = copyPlugin(c.copy);
        std::vector<uint8_t> list = readFile(copy.pipl);
        replaceAll(list, c.from, c.to);
        writeFile(copy.pipl, list);
        const std::string error = refusal(copy);
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST(PluginLoader, ReadsTheListFromTheFileBesideTheLibrary) {
    const EditedCopy copy = copyPlugin("Beside");
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(readPluginPipl(copy.library, bytes, error)) << error;
    EXPECT_EQ(bytes, readFile(copy.pipl));
}
#endif

}  // namespace
}  // namespace minihost
