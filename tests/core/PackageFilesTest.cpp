// dpkg's answers on this very system: coreutils is essential, so its files are always
// there to ask about.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "TempDir.h"
#include "desktop/PackageFiles.h"

namespace fs = std::filesystem;

TEST(DpkgPackageFiles, OwnsWhatAPackageListsUnderAnySpellingAndNothingElse) {
    if (std::system("dpkg-query --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no dpkg-query on this system";
    const DpkgPackageFiles packages;
    EXPECT_TRUE(packages.Owns("/usr/bin"));
    EXPECT_TRUE(packages.Owns("/usr/bin/["));  // a name that dpkg would read as a pattern
    EXPECT_FALSE(packages.Owns("/usr/bin/*"));
    EXPECT_FALSE(packages.Owns("/usr/bin/l?"));
    // With a merged /usr, each spelling is owned, whichever one the package lists.
    std::error_code error;
    if (fs::equivalent("/bin/ls", "/usr/bin/ls", error)) {
        EXPECT_TRUE(packages.Owns("/bin/ls"));
        EXPECT_TRUE(packages.Owns("/usr/bin/ls"));
    }

    TempDir temp;
    WriteText(fs::path(temp.Path()) / "brimwell", "program");
    EXPECT_FALSE(packages.Owns(fs::path(temp.Path()) / "brimwell"));
    EXPECT_FALSE(packages.Owns("usr/bin"));  // not absolute
    EXPECT_FALSE(DpkgPackageFiles("no-such-program").Owns("/usr/bin"));
}
