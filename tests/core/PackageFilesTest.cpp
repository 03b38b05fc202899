// dpkg's lists of installed files read from a made-up info folder: exact paths, folders,
// another spelling of the same file through a linked folder, and files that are no lists.
#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"
#include "desktop/PackageFiles.h"

namespace fs = std::filesystem;

TEST(DpkgPackageFiles, OwnsWhatAListNamesAsItStandsOrThroughALinkedFolder) {
    TempDir temp;
    const fs::path root = temp.Path();
    for (const char* file : {"usr/bin/brimwell", "usr/bin/ls", "usr/bin/other", "usr/bin/mine"})
        WriteText(root / file, "program");
    fs::create_directory_symlink("usr/bin", root / "bin");  // a merged /usr
    const fs::path info = root / "var/lib/dpkg/info";
    WriteText(info / "brimwell.list", "/.\n" + (root / "usr").string() + "\n" +
                                          (root / "usr/bin").string() + "\n" +
                                          (root / "usr/bin/brimwell").string() + "\n");
    WriteText(info / "coreutils:amd64.list", (root / "bin/ls").string() + "\n");
    WriteText(info / "other.md5sums", "0123  " + (root / "usr/bin/other").string() + "\n");

    const DpkgPackageFiles packages(info);
    EXPECT_TRUE(packages.Owns(root / "usr/bin/brimwell"));
    EXPECT_TRUE(packages.Owns(root / "usr/bin"));
    EXPECT_TRUE(packages.Owns(root / "usr/bin/ls"));  // listed as bin/ls
    EXPECT_FALSE(packages.Owns(root / "usr/bin/other"));
    EXPECT_FALSE(packages.Owns(root / "usr/bin/mine"));
    EXPECT_FALSE(DpkgPackageFiles(root / "no-dpkg").Owns(root / "usr/bin/brimwell"));
}
