// Scan files both ways, against the real ncdu and gdu: a tree with every kind of entry read
// back from their exports and from ours with the report of the disk's scan, listings that
// match ncdu's entry for entry, the totals the other tools show for our export, folders'
// devices where ncdu writes them; the rules and the format's values on a written-out
// export; bad files, each with its place and reason; and the memory of a loaded export
// handed back as the walk passes it.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"
#include "scan/FolderTree.h"
#include "scanfile/ScanFileReader.h"
#include "tree/ItemStore.h"

namespace {

ToolRun Report(const std::string& arguments, const std::string& prefix = "") {
    return RunProgram(BRIMWELL_REPORT_PATH, arguments, prefix);
}

// Run as root, the tools run as nobody, for whom a folder without permissions is unreadable.
std::string AsUser() {
    return ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
}

// A tree with every kind of entry below dir/tree, and dir/out for the exports: hard links
// within a folder and across folders, names that are not UTF-8 or hold a newline, a quote,
// a backslash or a control character, dot names, a symbolic link, a FIFO, a sparse file,
// an empty and an unreadable folder; "plain" holds none of what gdu cannot carry (names
// that are not UTF-8, hard links).
void MakeTree(const TempDir& dir) {
    ::chmod(dir.Path().c_str(), 0755);
    dir.MakeFolder("out");
    ::chmod((dir / "out").c_str(), 0777);
    for (const char* folder :
         {"tree", "tree/.hid", "tree/dir\xff", "tree/new\nline", "tree/sub", "tree/sub/deep",
          "tree/pair", "tree/ex", "tree/empty", "tree/locked", "tree/plain", "tree/plain/two",
          "tree/plain/.dot", "tree/plain/empty"}) {
        dir.MakeFolder(folder);
    }
    const std::pair<const char*, std::size_t> files[] = {
        {"tree/a.bin", 5000},        {"tree/.dotfile", 3},       {"tree/.hid/in", 2},
        {"tree/bad\xff\xfe", 7},     {"tree/dir\xff/x", 11},     {"tree/new\nline/y", 13},
        {"tree/q\"uote\\back", 1},   {"tree/ctl\x01", 1},        {"tree/hard1", 3000},
        {"tree/pair/a", 4096},       {"tree/ex/skip.log", 2},    {"tree/ex/keep", 4},
        {"tree/locked/secret", 100}, {"tree/plain/one", 100000}, {"tree/plain/two/three", 200000},
        {"tree/plain/.dot/x", 5},    {"tree/plain/four", 3},
    };
    for (const auto& [name, size] : files)
        dir.MakeFile(name, size);
    std::ofstream(dir / "tree/sparse").close();
    std::filesystem::resize_file(dir / "tree/sparse", 1 << 20);
    ASSERT_EQ(::link((dir / "tree/hard1").c_str(), (dir / "tree/sub/f").c_str()), 0);
    ASSERT_EQ(::link((dir / "tree/hard1").c_str(), (dir / "tree/sub/deep/hard2").c_str()), 0);
    ASSERT_EQ(::link((dir / "tree/pair/a").c_str(), (dir / "tree/pair/b").c_str()), 0);
    std::filesystem::create_symlink("a.bin", dir / "tree/link");
    ASSERT_EQ(::mkfifo((dir / "tree/fifo").c_str(), 0644), 0);
    ::chmod((dir / "tree/locked").c_str(), 0);
}

// The first number gdu prints: the total of -s.
std::string GduTotal(const std::string& file) {
    ToolRun run = RunProgram("gdu", "-n -s -a --no-prefix -f " + Quote(file));
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out.substr(0, run.out.find_first_of(" \t", run.out.find_first_not_of(" \t")));
}

TEST(ScanFile, ExportsOfNcduGduAndOursReadBackAsTheScanOfTheTree) {
    TempDir dir;
    MakeTree(dir);
    const std::string user = AsUser();
    const std::string tree = Quote(dir / "tree");
    const std::string ncdu = Quote(dir / "out/ncdu.json");
    ASSERT_EQ(RunProgram("ncdu", "--ignore-config -0 -o " + ncdu + " " + tree, user).status, 0);

    for (const std::string options :
         {"", "-a ", "--exclude '*.log' ", "-l ", "-a -l --exclude 'pair' "}) {
        SCOPED_TRACE(options);
        ToolRun disk = Report(options + tree, user);
        ASSERT_EQ(disk.status, 0);
        ASSERT_NE(disk.out.find("dir\xff "), std::string::npos);  // the raw name, in the report
        ToolRun fromNcdu = Report(options + "-f " + ncdu);
        EXPECT_EQ(fromNcdu.status, 0);
        EXPECT_EQ(fromNcdu.out, disk.out);
        EXPECT_NE(fromNcdu.err.find("cannot read " + dir / "tree/locked"), std::string::npos);

        // Ours, plain and compressed, and ncdu's export of what it read from ours.
        for (const std::string name : {"ours.json", "ours.json.gz"}) {
            const std::string ours = Quote(dir / ("out/" + name));
            ASSERT_EQ(Report(options + "-o " + ours + " " + tree, user).status, 0);
            EXPECT_EQ(Report(options + "-f " + ours).out, disk.out) << name;
        }
        const std::string again = Quote(dir / "out/again.json");
        ASSERT_EQ(RunProgram("ncdu", "--ignore-config -0 -f " + Quote(dir / "out/ours.json") +
                                         " -o " + again)
                      .status,
                  0);
        EXPECT_EQ(Report(options + "-f " + again).out, disk.out);
    }

    // gdu shows our export's totals as those of ncdu's: it reads our export with -a, which
    // holds every entry, as ncdu's.
    ASSERT_EQ(Report("-a -o " + Quote(dir / "out/all.json") + " " + tree, user).status, 0);
    EXPECT_EQ(GduTotal(dir / "out/all.json"), GduTotal(dir / "out/ncdu.json"));
    // gdu's export holds no hard links and no name that is not UTF-8: of "plain", it reads
    // back byte for byte too.
    const std::string gdu = Quote(dir / "out/gdu.json");
    ASSERT_EQ(RunProgram("gdu", "-n -o " + gdu + " " + Quote(dir / "tree/plain"), user).status, 0);
    for (const std::string options : {"", "-a "})
        EXPECT_EQ(Report(options + "-f " + gdu).out,
                  Report(options + Quote(dir / "tree/plain")).out)
            << options;
}

// Every folder's entries as a source lists them, one line each, entering every sub-folder.
void Walk(FolderSource& source, const std::string& path, std::vector<std::string>& lines) {
    FolderListing listing;
    bool listed = source.List(listing);
    lines.push_back(path + (listed ? "" : " not listed: " + std::to_string(int(listing.outcome))));
    std::vector<std::string> folders;
    for (const FolderEntry& entry : listing.entries) {
        std::string name(listing.Name(entry));
        std::string line = "  " + name + (entry.isDirectory ? "/" : "");
        if (entry.excluded)
            line += " excluded";
        if (!entry.isDirectory) {
            line += " " + std::to_string(entry.size) + " " + std::to_string(entry.sizeOnDisk);
            line += entry.special ? " special" : "";
        }
        if (entry.link != 0) {
            const LinkIdentity& id = listing.links[entry.link - 1];
            line += " link " + std::to_string(id.device) + ":" + std::to_string(id.inode) + "x" +
                    std::to_string(listing.linkCounts[entry.link - 1]);
        }
        lines.push_back(line);
        if (entry.isDirectory && !entry.excluded)
            folders.push_back(name);
    }
    for (const std::string& name : folders) {
        source.Enter(name);
        Walk(source, path + "/" + name, lines);
        source.Leave();
    }
}

std::vector<std::string> Listings(const std::string& file) {
    ScanRules everything;
    everything.includeHidden = true;
    ScanFileReader reader(everything);
    std::optional<ScanFileError> error = reader.Load(file);
    EXPECT_FALSE(error) << error->Text();
    std::vector<std::string> lines;
    reader.EnterRoot(reader.TopPath());
    Walk(reader, reader.TopPath(), lines);
    reader.Leave();
    return lines;
}

TEST(ScanFile, OurExportListsEveryEntryAsNcdusDoes) {
    TempDir dir;
    MakeTree(dir);
    const std::string tree = Quote(dir / "tree");
    ASSERT_EQ(
        RunProgram("ncdu", "--ignore-config -0 -o " + Quote(dir / "out/ncdu.json") + " " + tree,
                   AsUser())
            .status,
        0);
    ASSERT_EQ(Report("-a -o " + Quote(dir / "out/ours.json") + " " + tree, AsUser()).status, 0);
    // Names, order, sizes, sizes on disk, special files, hard links with their device, inode
    // and count, and the folder that could not be read.
    std::vector<std::string> ours = Listings(dir / "out/ours.json");
    EXPECT_EQ(ours, Listings(dir / "out/ncdu.json"));
    EXPECT_EQ(ours.size(), 14u + 35u);  // folders walked, entries listed
}

// An export written by hand: the format's values that ncdu and gdu write on other machines.
constexpr const char* kServerExport =
    "[1,0,{\"progname\":\"x\",\"extra\":[1,{\"a\":null}]},\n"
    "[{\"name\":\"/srv\",\"dev\":7,\"uid\":0},\n"
    "{\"name\":\"f1\",\"asize\":1048576,\"dsize\":1052672,\"mtime\":5,\"x\":{\"y\":[1,-2.5]}},\n"
    "[{\"name\":\"mnt\",\"dev\":8},{\"name\":\"g\",\"asize\":2097152}],\n"
    "[{\"name\":\"proc\",\"excluded\":\"kernfs\"}],\n"
    "[{\"name\":\"net\",\"dev\":9,\"excluded\":\"othfs\"}],\n"
    "{\"name\":\"usb\",\"excluded\":\"otherfs\"},\n"
    "[{\"name\":\"locked\",\"read_error\":true}],\n"
    "[{\"name\":\"partial\",\"read_error\":true},{\"name\":\"p\",\"asize\":1048576}],\n"
    "{\"name\":\"skip\",\"asize\":5242880,\"dev\":0,\"excluded\":\"pattern\"},\n"
    "[{\"name\":\"links\"},{\"name\":\"a\",\"asize\":1048576,\"ino\":9,\"hlnkc\":true},\n"
    "{\"name\":\"b\",\"asize\":1048576,\"ino\":9,\"hlnkc\":true}],\n"
    "{\"name\":\"c\\u00e9\\ud83d\\ude00\",\"asize\":1e3,\"dsize\":-0},\n"
    "[{\"name\":\"bad\xff\"},{\"name\":\".h\",\"asize\":1048576}],\n"
    "[{\"name\":\".git\"},{\"name\":\"pack\",\"asize\":9437184}]],\n"
    "\"later additions are skipped\"]\n";

TEST(ScanFile, AnExportKeepsTheScanRulesAndTheFormatsValuesAlsoWhenConverted) {
    TempDir dir;
    WriteText(dir / "srv.json", kServerExport);
    struct Case {
        std::string options;
        std::string header;  // the report's first line
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        // mnt on its own device counts; proc, net, usb and locked are empty folders; skip is
        // excluded; the second link of links/a does not count; .git is not entered.
        {"",
         "/srv   ( 6.00 M , Folders : 8 , Files : 5 ) ",
         {"mnt     ( 2.00 M ) |", "partial ( 1.00 M ) |", "links   ( 1.00 M ) |",
          "bad\xff    ( 1.00 M ) |", "usb     ( 0.00 M ) |", "locked  ( 0.00 M ) |"}},
        {"-x ", "/srv   ( 4.00 M , Folders : 8 , Files : 4 ) ", {"mnt     ( 0.00 M ) |"}},
        {"-l ", "/srv   ( 7.00 M , Folders : 8 , Files : 6 ) ", {"links   ( 2.00 M ) |"}},
        {"-a ", "/srv   ( 15.00 M , Folders : 9 , Files : 7 ) ", {".git    ( 9.00 M ) |"}},
        {"--exclude 'p*' ", "/srv   ( 5.00 M , Folders : 6 , Files : 4 ) ", {}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.options);
        ToolRun run = Report(test.options + "-f " + Quote(dir / "srv.json"));
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out.substr(0, run.out.find('\n')), test.header);
        for (const std::string& line : test.lines)
            EXPECT_NE(run.out.find("\n" + line), std::string::npos) << line << "\n" << run.out;
        // Only the folder with nothing read is named.
        EXPECT_EQ(run.err,
                  "brimwell-report: cannot read /srv/locked: it could not be read where the scan "
                  "was made\n");
        // Converted with the same options, it reads back the same.
        ASSERT_EQ(Report(test.options + "-f " + Quote(dir / "srv.json") + " -o " +
                         Quote(dir / "converted.json"))
                      .status,
                  0);
        EXPECT_EQ(Report(test.options + "-f " + Quote(dir / "converted.json")).out, run.out);
    }
}

// The folders an export gives a device, as "[{"name":"NAME","dev":N" lines, sorted.
std::vector<std::string> FoldersWithDevices(const std::string& file) {
    std::vector<std::string> found;
    std::istringstream lines(ReadText(file));
    for (std::string line; std::getline(lines, line);) {
        std::size_t dev = line.find(",\"dev\":");
        if (line.rfind("[{\"name\":", 0) == 0 && dev != std::string::npos)
            found.push_back(line.substr(0, line.find(',')) +
                            line.substr(dev, line.find_first_of(",}", dev + 1) - dev));
    }
    std::sort(found.begin(), found.end());
    return found;
}

// Devices are written where ncdu writes them (the top folder, and a folder on another file
// system than its parent's), so that -x applies to our export as to a scan; an export
// without them (gdu's) says once what that changes.
TEST(ScanFile, FoldersDevicesAreWrittenWhereNcduWritesThemAndAMissingOneIsSaid) {
    TempDir dir;
    dir.MakeFolder("tree");
    dir.MakeFolder("tree/mnt");
    dir.MakeFile("tree/here", 3000);
    ASSERT_EQ(::link((dir / "tree/here").c_str(), (dir / "tree/again").c_str()), 0);
    if (::mount("tmpfs", (dir / "tree/mnt").c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{dir / "tree/mnt"};
    dir.MakeFolder("tree/mnt/in");
    dir.MakeFile("tree/mnt/in/there", 5000);
    const std::string tree = " " + Quote(dir / "tree");
    const std::string ours = Quote(dir / "ours.json");
    for (const std::string options : {"", "-x "}) {
        const std::string ncdu = Quote(dir / "ncdu.json");
        ASSERT_EQ(RunProgram("ncdu", "--ignore-config -0 " + options + "-o " + ncdu + tree).status,
                  0);
        ASSERT_EQ(Report(options + "-o " + ours + tree).status, 0);
        EXPECT_EQ(FoldersWithDevices(dir / "ours.json"), FoldersWithDevices(dir / "ncdu.json"))
            << options;
    }
    // Written whole and read with -x, the mounted folder is kept out as a scan keeps it out.
    ASSERT_EQ(Report("-o " + ours + tree).status, 0);
    ToolRun staying = Report("-x -f " + ours);
    EXPECT_EQ(staying.out, Report("-x" + tree).out);
    EXPECT_EQ(staying.err, "");

    // gdu writes no devices, and marks only some of a file's links.
    const std::string gdu = Quote(dir / "gdu.json");
    ASSERT_EQ(RunProgram("gdu", "-n -o " + gdu + tree).status, 0);
    const std::string lacks =
        "brimwell-report: " + dir / "gdu.json" + ": the export gives no devices, so ";
    ToolRun fromGdu = Report("-f " + gdu);
    EXPECT_EQ(fromGdu.err, lacks + "files with several hard links count at every link\n");
    auto header = [](const std::string& report) { return report.substr(0, report.find('\n')); };
    EXPECT_EQ(header(fromGdu.out), header(Report("-l" + tree).out));  // as said
    EXPECT_EQ(Report("-x -f " + gdu).err,
              lacks +
                  "-x cannot keep out other file systems and files with several hard links count "
                  "at every link\n");
    EXPECT_EQ(Report("-l -f " + gdu).err, "");
}

TEST(ScanFile, BadFilesAreNamedWithTheirPlaceAndWhatIsWrong) {
    TempDir dir;
    const std::string valid = "[1,2,{},\n[{\"name\":\"/\"},\n{\"name\":\"a\",\"asize\":1}]]";
    // Deeper than the reader takes, in a file a few megabytes long.
    std::string deep = "[1,2,{},\n[{\"name\":\"/\"}";
    for (std::size_t level = 0; level < ScanFileReader::kMaxDepth; ++level)
        deep += ",[{\"name\":\"a\"}";
    // An error far into a file, many blocks of reading later.
    std::string late = "[1,2,{},\n[{\"name\":\"/\"}";
    for (int entry = 0; entry < 100000; ++entry)
        late += ",\n{\"name\":\"f\"}";
    late += ",\n{\"name\":\"f\",\"asize\":-1}]]";
    const std::pair<std::string, std::string> cases[] = {
        {"", "1:1: the file is empty"},
        {"hello", "1:1: not valid JSON: Invalid value."},
        {"\x89PNG\r\n\x1a\n", "1:1: not valid JSON: Invalid value."},
        {"{\"name\":\"/\"}", "1:1: not an ncdu export: it does not begin with an array"},
        {"[2,0,{},[{\"name\":\"/\"}]]",
         "1:2: major version 2 of the format is not supported (only 1 is)"},
        {"[1,2,{},\n[{\"name\":\"/\"},\n{\"name\":\"a\",\"asi",
         "3:17: the file ends before the export does"},
        {valid.substr(0, valid.size() - 1), "3:24: the file ends before the export does"},
        {"[1,2,{},\n[[{\"name\":\"/\"}]]]", "2:2: a folder array must begin with its info object"},
        {"[1,2,{},\n[{\"name\":\"/\"},[]]]",
         "2:16: a folder array must begin with its info object"},
        {"[1,2,{},[{\"name\":\"/\"},\n{\"name\":\"a\",\"asize\":-1}]]", "2:21: asize is negative"},
        {"[1,2,{},[{\"name\":\"/\"},\n{\"name\":\"a\",\"dsize\":\"12\"}]]",
         "2:25: dsize is not a number"},
        {"[1,2,{},[{\"name\":\"/\"},\n{\"name\":\"a\",\"asize\":9223372036854775808}]]",
         "2:21: asize is above 2^63 - 1"},
        {"[1,2,{},[{\"name\":\"/\"},\n{\"name\":\"a\",\"asize\":18446744073709551616}]]",
         "2:21: asize is above 2^63 - 1"},
        {"[1,2,{},[{\"name\":\"/\"},\n{\"name\":\"a\",\"asize\":1.5}]]",
         "2:21: asize is not a whole number"},
        {"[1,2,{},[{\"name\":\"/\"},\n{\"asize\":1}]]", "2:11: an entry without a name"},
        {"[1,2,{},[{\"name\":\"/\"},\n{\"name\":\"../etc\"}]]",
         "2:17: a file's name is empty, \".\" or \"..\", or holds \"/\" or a zero byte"},
        {"[1,2,{},[{\"name\":\"/\"},\n7]]",
         "2:1: a folder holds objects and arrays only, not a number"},
        {valid + "\n[]", "4:1: more follows the end of the export"},
        // A zero byte ends what the JSON parser reads, not the file.
        {valid + "\n" + std::string(1, '\0') + "[]", "4:1: more follows the end of the export"},
        {std::string(1, '\0') + valid, "1:1: not an ncdu export: it begins with a zero byte"},
        {"[1,2,{},[{\"name\":\"/\"},\n{\"name\":\"" +
             std::string(ScanFileReader::kMaxName + 1, 'n') + "\"}]]",
         "2:" + std::to_string(ScanFileReader::kMaxName + 12) +
             ": a name longer than 1048576 bytes"},
        {late, "100003:21: asize is negative"},
        // The info object of the folder array that opens the level one beyond the limit.
        {deep, "2:" + std::to_string(14 * (ScanFileReader::kMaxDepth - 2) + 2) +
                   ": nested deeper than 1000000 levels"},
    };
    int index = 0;
    for (const auto& [text, problem] : cases) {
        const std::string file = dir / ("bad" + std::to_string(index++) + ".json");
        WriteText(file, text);
        ToolRun run = Report("-f " + Quote(file));
        EXPECT_EQ(run.status, 1) << problem;
        EXPECT_EQ(run.out, "") << problem;
        EXPECT_EQ(run.err, "brimwell-report: " + file + ":" + problem + "\n");
    }
    // Gzip files that gzip -t fails: cut short, in the data or in the trailer with its check
    // sums; followed by junk; not gzip data past the signature. Zero bytes after the data
    // are padding, as gzip takes them.
    WriteText(dir / "valid.json", valid);
    auto gzip = [&](const std::string& name, const std::string& then) {
        const std::string command =
            "{ gzip -c " + Quote(dir / "valid.json") + then + "; } >" + Quote(dir / name);
        ASSERT_EQ(std::system(("bash -c " + Quote(command)).c_str()), 0) << name;
    };
    gzip("cut.json.gz", " | head -c 30");
    gzip("trailer.json.gz", " | head -c -4");
    gzip("junk.json.gz", "; echo junk");
    gzip("padded.json.gz", "; head -c 512 /dev/zero");
    EXPECT_EQ(Report("-f " + Quote(dir / "padded.json.gz")).status, 0);
    WriteText(dir / "damaged.json.gz",
              std::string("\x1f\x8b\x08\0\0\0\0\0\0\3garbage garbage", 26));
    for (const auto& [name, problem] :
         {std::pair<std::string, std::string>{"cut.json.gz", "the compressed data ends too early"},
          {"trailer.json.gz", "the compressed data ends too early"},
          {"junk.json.gz", "bytes that are not gzip data follow the compressed data"},
          {"damaged.json.gz", "the compressed data is damaged ("},
          {"absent.json", "No such file or directory"}}) {
        ToolRun run = Report("-f " + Quote(dir / name));
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_EQ(run.out, "") << name;
        EXPECT_EQ(run.err.rfind("brimwell-report: " + dir / name + ":", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(problem), std::string::npos) << run.err;
    }
}

TEST(ScanFile, WrittenToStandardOutputOrInPlaceOfAFileOrFailingWithTheReason) {
    TempDir dir;
    dir.MakeFolder("tree");
    dir.MakeFile("tree/f", 10);
    const std::string tree = " " + Quote(dir / "tree");
    ToolRun out = Report("-o -" + tree);
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(out.out.rfind("[1,2,{\"progname\":\"brimwell-report\",", 0), 0u) << out.out;
    EXPECT_NE(out.out.find("\n[{\"name\":\"" + dir / "tree" + "\",\"dev\":"), std::string::npos)
        << out.out;
    EXPECT_NE(out.out.find("},\n{\"name\":\"f\",\"asize\":10,"), std::string::npos) << out.out;
    // An existing file is replaced whole, and nothing is left beside it.
    dir.MakeFolder("out");
    WriteText(dir / "out/scan.json", "old");
    ASSERT_EQ(Report("-o " + Quote(dir / "out/scan.json") + tree).status, 0);
    auto afterTheTime = [](const std::string& text) { return text.substr(text.find('\n')); };
    EXPECT_EQ(afterTheTime(ReadText(dir / "out/scan.json")), afterTheTime(out.out));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "out"),
                            std::filesystem::directory_iterator()),
              1);
    for (const auto& [file, reason] :
         {std::pair<std::string, std::string>{"/dev/full", "No space left on device"},
          {dir / "absent/scan.json", "No such file or directory"},
          {dir.Path(), "Is a directory"}}) {
        ToolRun run = Report("-o " + Quote(file) + tree);
        EXPECT_EQ(run.status, 1) << file;
        EXPECT_EQ(run.err, "brimwell-report: " + file + ": " + reason + "\n");
    }
}

// A source that notes how much memory the loaded export holds when the scan lists the
// folder named last.
class HeldAtLastFolder : public FolderSource {
  public:
    explicit HeldAtLastFolder(ScanFileReader& reader) : reader_(reader) {}
    void EnterRoot(const std::string& path) override { reader_.EnterRoot(path); }
    void Enter(std::string_view name) override {
        last_ = name == "d63";
        reader_.Enter(name);
    }
    void Leave() override { reader_.Leave(); }
    bool List(FolderListing& out) override {
        bool listed = reader_.List(out);
        if (last_)
            held = reader_.HeldBytes();
        return listed;
    }
    std::size_t held = 0;

  private:
    ScanFileReader& reader_;
    bool last_ = false;
};

TEST(ScanFile, ALoadedExportHandsItsMemoryBackAsTheScanPassesIt) {
    TempDir dir;
    std::ofstream file(dir / "wide.json");
    file << "[1,2,{},\n[{\"name\":\"/w\"}";
    for (int folder = 0; folder < 64; ++folder) {
        file << ",\n[{\"name\":\"d" << folder << "\"}";
        for (int entry = 0; entry < 1000; ++entry)
            file << ",{\"name\":\"" << std::string(100, 'n') << entry << "\",\"asize\":1}";
        file << "]";
    }
    file << "]]\n";
    file.close();
    ScanFileReader reader;
    ASSERT_FALSE(reader.Load(dir / "wide.json"));
    const std::size_t loaded = reader.HeldBytes();
    EXPECT_GT(loaded, 6u << 20);  // 64,000 names of 100 bytes and more
    HeldAtLastFolder source(reader);
    ItemStore tree;
    ScanContext context(source);
    FolderTree::ScanRoot(tree, "/w", context);
    EXPECT_EQ(tree.Record(tree.GetChild(TreeItem::None))->fileCount, 64000);
    EXPECT_LE(source.held, 2u << 20);  // the blocks of the last folder
    EXPECT_EQ(reader.HeldBytes(), 0u);
}

}  // namespace
