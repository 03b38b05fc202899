// Shards of a scan as users run them: for trees of every shape and any number of shards,
// every entry lands in exactly one shard and the grafted shards report as the direct scan
// does; shards cut by an earlier scan come out even where a tree is skewed; and the shard
// numbers of each launcher.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"
#include "scanfile/ExportItemReader.h"
#include "shard/ShardNumbers.h"

namespace {

ToolRun Report(const std::string& arguments, const std::string& prefix = "") {
    return RunProgram(BRIMWELL_REPORT_PATH, arguments, prefix);
}

// Every entry of a scan file by its path below the top folder, with whether it is a folder.
std::map<std::string, bool> Entries(const std::string& file) {
    std::map<std::string, bool> entries;
    ExportItemReader reader;
    EXPECT_TRUE(reader.Open(file)) << reader.Error()->Text();
    std::vector<std::string> path{""};
    while (reader.Next()) {
        const ExportItem& item = reader.Current();
        if (item.IsEnd()) {
            path.pop_back();
            continue;
        }
        const std::string at = path.back() + "/" + item.name;
        entries[at] = item.IsFolder();
        if (item.IsFolder())
            path.push_back(at);
    }
    EXPECT_FALSE(reader.Error()) << reader.Error()->Text();
    return entries;
}

// The shapes a cut has to cope with: a chain deeper than folders are ever split, with a
// bunch of folders at its bottom; one folder with many sub-folders; an empty folder; and a
// tree of everything, with names whose byte order differs from their case or accents, dot
// folders and names an exclusion matches.
void MakeShapes(const TempDir& dir) {
    std::string chain = "chain";
    dir.MakeFolder(chain);
    for (int level = 0; level < 80; ++level) {
        dir.MakeFile(chain + "/f", static_cast<std::size_t>(level));
        chain += "/d";
        dir.MakeFolder(chain);
    }
    for (int i = 0; i < 20; ++i) {
        dir.MakeFolder(chain + "/b" + std::to_string(i));
        dir.MakeFile(chain + "/b" + std::to_string(i) + "/x", 10);
    }
    dir.MakeFolder("wide");
    dir.MakeFile("wide/top", 3);
    for (int i = 0; i < 300; ++i) {
        const std::string folder = "wide/w" + std::to_string(i);
        dir.MakeFolder(folder);
        dir.MakeFile(folder + "/a", static_cast<std::size_t>(i));
        dir.MakeFile(folder + "/b", 1);
    }
    dir.MakeFolder("empty");
    for (const char* folder : {"mixed", "mixed/B", "mixed/a", "mixed/a/Z10", "mixed/a/z2",
                               "mixed/a/z2/deep", "mixed/\xc3\xa9t\xc3\xa9", "mixed/.dot",
                               "mixed/.dot/in", "mixed/skip.tmp", "mixed/skip.tmp/x", "mixed/e"}) {
        dir.MakeFolder(folder);
        for (const char* file : {"1", "two", ".h", "n.tmp"})
            dir.MakeFile(std::string(folder) + "/" + file, std::string(folder).size());
    }
}

TEST(Shards, EveryEntryLandsInOneShardAndTheGraftReportsAsTheDirectScan) {
    TempDir dir;
    MakeShapes(dir);
    dir.MakeFolder("out");
    for (const char* shape : {"chain", "wide", "empty", "mixed"}) {
        const std::string tree = Quote(dir / shape);
        const std::string old = Quote(dir / "out/old.json");
        ASSERT_EQ(Report("--exclude '*.tmp' -o " + old + " " + tree).status, 0);
        const std::map<std::string, bool> all = Entries(dir / "out/old.json");
        const std::string direct = Report("--exclude '*.tmp' " + tree).out;
        for (unsigned count : {1u, 2u, 3u, 7u}) {
            for (const std::string& plan : {std::string(), "--plan " + old + " "}) {
                SCOPED_TRACE(std::string(shape) + " in " + std::to_string(count) + " " + plan);
                std::string files;
                std::map<std::string, bool> seen;
                for (unsigned index = 0; index < count; ++index) {
                    const std::string file = dir / ("out/shard-" + std::to_string(index) + ".json");
                    ToolRun run = Report("--exclude '*.tmp' --shard " + std::to_string(index) +
                                         "/" + std::to_string(count) + " " + plan + "-o " +
                                         Quote(dir / "out/shard-%k.json") + " " + tree);
                    ASSERT_EQ(run.status, 0) << run.err;
                    files += " " + Quote(file);
                    for (const auto& [path, folder] : Entries(file)) {
                        // Folders the cut splits are in every shard; anything else in one.
                        EXPECT_TRUE(seen.emplace(path, folder).second || folder) << path;
                    }
                }
                EXPECT_EQ(seen, all);
                EXPECT_EQ(Report("-f" + files).out, direct);
            }
        }
    }
}

// A tree as the trees people shard grow: each new folder goes below a folder already there,
// so that the first ones hold most of it.
void MakeSkewedTree(const TempDir& dir, const std::string& top) {
    std::mt19937 random(7);
    std::vector<std::string> folders{top};
    dir.MakeFolder(top);
    for (int i = 1; i < 1000; ++i) {
        std::string parent = folders[random() % folders.size()];
        folders.push_back(parent + "/" + std::to_string(i));
        dir.MakeFolder(folders.back());
        for (unsigned file = random() % 6; file > 0; --file)
            dir.MakeFile(folders.back() + "/f" + std::to_string(file), 1);
    }
}

// The entries of each shard of a cut of tree into count, as its scan file holds them.
std::vector<std::size_t> ShardSizes(const TempDir& dir, const std::string& tree, unsigned count,
                                    const std::string& plan) {
    std::vector<std::size_t> sizes;
    for (unsigned index = 0; index < count; ++index) {
        EXPECT_EQ(Report("--shard " + std::to_string(index) + "/" + std::to_string(count) + " " +
                         plan + "-o " + Quote(dir / "out/s-%k.json") + " " + tree)
                      .status,
                  0);
        sizes.push_back(Entries(dir / ("out/s-" + std::to_string(index) + ".json")).size());
    }
    return sizes;
}

TEST(Shards, APlanFromAnEarlierScanEvensOutASkewedTree) {
    TempDir dir;
    MakeSkewedTree(dir, "tree");
    dir.MakeFolder("out");
    const std::string tree = Quote(dir / "tree");
    ASSERT_EQ(Report("-o " + Quote(dir / "out/old.json") + " " + tree).status, 0);
    constexpr unsigned kShards = 8;
    auto largestPerAverage = [](const std::vector<std::size_t>& sizes) {
        std::size_t total = 0, largest = 0;
        for (std::size_t size : sizes) {
            total += size;
            largest = std::max(largest, size);
        }
        return static_cast<double>(largest) * sizes.size() / total;
    };
    const double planned = largestPerAverage(
        ShardSizes(dir, tree, kShards, "--plan " + Quote(dir / "out/old.json") + " "));
    EXPECT_LE(planned, 1.25);
    // Without a plan the cut goes by the folders' sub-folders, and does worse.
    EXPECT_GT(largestPerAverage(ShardSizes(dir, tree, kShards, "")), planned);
}

TEST(Shards, LaunchersNameTheShard) {
    using Variables = std::map<std::string, std::string>;
    struct Case {
        Variables variables;
        std::optional<std::pair<std::uint32_t, std::uint32_t>> shard;
    };
    const Case cases[] = {
        {{{"OMPI_COMM_WORLD_RANK", "3"}, {"OMPI_COMM_WORLD_SIZE", "16"}}, {{3, 16}}},
        {{{"PMI_RANK", "0"}, {"PMI_SIZE", "4"}}, {{0, 4}}},
        {{{"SLURM_ARRAY_TASK_ID", "5"},
          {"SLURM_ARRAY_TASK_COUNT", "8"},
          {"SLURM_ARRAY_TASK_MIN", "0"},
          {"SLURM_ARRAY_TASK_MAX", "7"}},
         {{5, 8}}},
        {{{"SLURM_ARRAY_TASK_ID", "16"},
          {"SLURM_ARRAY_TASK_MIN", "1"},
          {"SLURM_ARRAY_TASK_MAX", "16"}},
         {{15, 16}}},
        {{{"SLURM_ARRAY_TASK_ID", "4"},
          {"SLURM_ARRAY_TASK_MIN", "0"},
          {"SLURM_ARRAY_TASK_MAX", "6"},
          {"SLURM_ARRAY_TASK_STEP", "2"}},
         {{2, 4}}},
        {{{"SLURM_PROCID", "2"}, {"SLURM_NTASKS", "3"}}, {{2, 3}}},
        // An array task also has a job step's numbers, and mpirun in a Slurm job both: the
        // array numbers its tasks, MPI its ranks.
        {{{"SLURM_ARRAY_TASK_ID", "1"},
          {"SLURM_ARRAY_TASK_COUNT", "2"},
          {"SLURM_ARRAY_TASK_MIN", "0"},
          {"SLURM_ARRAY_TASK_MAX", "1"},
          {"SLURM_PROCID", "0"},
          {"SLURM_NTASKS", "1"}},
         {{1, 2}}},
        {{{"OMPI_COMM_WORLD_RANK", "6"},
          {"OMPI_COMM_WORLD_SIZE", "8"},
          {"SLURM_PROCID", "0"},
          {"SLURM_NTASKS", "1"}},
         {{6, 8}}},
        // An array with gaps, a rank past the size, a size of none: no shard.
        {{{"SLURM_ARRAY_TASK_ID", "7"},
          {"SLURM_ARRAY_TASK_COUNT", "3"},
          {"SLURM_ARRAY_TASK_MIN", "0"},
          {"SLURM_ARRAY_TASK_MAX", "7"}},
         std::nullopt},
        {{{"PMI_RANK", "4"}, {"PMI_SIZE", "4"}}, std::nullopt},
        {{{"OMPI_COMM_WORLD_RANK", "0"}}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const Case& test : cases) {
        std::string problem;
        std::optional<ShardNumbers> numbers = ShardFromLauncher(
            [&](const char* name) -> std::optional<std::string> {
                auto found = test.variables.find(name);
                return found == test.variables.end() ? std::nullopt : std::optional(found->second);
            },
            problem);
        ASSERT_EQ(numbers.has_value(), test.shard.has_value()) << problem;
        if (numbers)
            EXPECT_EQ(std::make_pair(numbers->index, numbers->count), *test.shard);
        else
            EXPECT_FALSE(problem.empty());
    }
    for (const char* wrong : {"3/3", "1/0", "-1/2", "a/b", "1/65537", "1", "1/2/3", " 1/2"})
        EXPECT_FALSE(ParseShardNumbers(wrong)) << wrong;
    EXPECT_EQ(ShardFileName("s-%k-%k.json", 12), "s-12-12.json");

    // The tool as a launcher starts it: its numbers, and its name for the file.
    TempDir dir;
    dir.MakeFolder("tree");
    ToolRun run = Report("--shard auto -o " + Quote(dir / "s-%k.json") + " " + Quote(dir / "tree"),
                         "env -i OMPI_COMM_WORLD_RANK=1 OMPI_COMM_WORLD_SIZE=2 ");
    EXPECT_EQ(run.status, 0) << run.err;
    ExportItemReader reader;
    ASSERT_TRUE(reader.Open(dir / "s-1.json"));
    ASSERT_TRUE(reader.Shard());
    EXPECT_EQ(reader.Shard()->index, 1u);
    EXPECT_EQ(reader.Shard()->count, 2u);
    run = Report("--shard auto -o x.json " + Quote(dir / "tree"), "env -i ");
    EXPECT_EQ(run.status, 2);
    for (const char* named :
         {"SLURM_ARRAY_TASK_ID", "SLURM_PROCID", "OMPI_COMM_WORLD_RANK", "PMI_RANK"})
        EXPECT_NE(run.err.find(named), std::string::npos) << named;
}

}  // namespace
