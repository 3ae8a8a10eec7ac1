// A throw-away game folder on the real disk, set up and inspected through
// the C++ library rather than through the adapter under test, so a fault in
// the adapter cannot hide itself.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace brakkis::testing {

namespace fs = std::filesystem;

inline std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

class GameFolderFixture {
public:
    GameFolderFixture() {
        std::random_device random;
        root_ = fs::temp_directory_path() / ("brakkis-fs-" + std::to_string(random()) + std::to_string(random()));
        fs::create_directories(root_ / "Game");
    }
    ~GameFolderFixture() {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(root_, ignored)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
        fs::remove_all(root_, ignored);
    }

    // The program's spelling of a path below the game folder: backslashes
    // after the host's own spelling of the folder.
    std::string G(const std::string& below = "") const {
        const std::string game = (root_ / "Game").string();
        return below.empty() ? game : game + "\\" + below;
    }
    fs::path Host(std::string below) const {
        std::replace(below.begin(), below.end(), '\\', '/');
        return root_ / "Game" / below;
    }
    void Put(const std::string& below, const std::string& content = "content") const {
        fs::create_directories(Host(below).parent_path());
        std::ofstream(Host(below), std::ios::binary) << content;
    }
    std::string Content(const std::string& below) const {
        std::ifstream in(Host(below), std::ios::binary);
        EXPECT_TRUE(in.is_open()) << below;
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void MakeReadOnly(const std::string& below) const {
        fs::permissions(Host(below), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    }
    // Names as they are spelled on disk, sorted.
    std::vector<std::string> Listing(const std::string& below = "") const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Host(below))) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    fs::path root_;
};

}  // namespace brakkis::testing
