#include "WindowsHostSupport.hpp"

namespace WindowsHostTest {

fs::path WindowsPath(const std::string& Path) {
    if (!Path.empty() && Path.front() == '/') {
        std::string Windows = "Z:" + Path;
        std::replace(Windows.begin(), Windows.end(), '/', '\\');
        return Windows;
    }
    return Path;
}

const fs::path Standin = WindowsPath(QUELT_STANDIN_PATH);
const fs::path Cli = WindowsPath(QUELT_CLI_PATH);

} // namespace WindowsHostTest
