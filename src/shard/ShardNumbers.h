// Which shard of a scan this process makes: given as K/N, or taken from the environment the
// launcher (a Slurm job array or job step, Open MPI, MPICH or another PMI launcher) gives
// each of the processes it starts.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

struct ShardNumbers {
    std::uint32_t index = 0;  // K, from 0
    std::uint32_t count = 1;  // N
};

// The most shards a scan is cut into.
constexpr std::uint32_t kMaxShards = 65536;

// "K/N" with 0 <= K < N <= kMaxShards; nothing for anything else.
std::optional<ShardNumbers> ParseShardNumbers(const std::string& text);

// The shard a launcher's variables name, looked up through variable (which answers nothing
// for a variable that is not set), in this order: Open MPI (OMPI_COMM_WORLD_RANK and _SIZE),
// other PMI launchers such as MPICH's (PMI_RANK and PMI_SIZE), a Slurm job array
// (SLURM_ARRAY_TASK_ID with SLURM_ARRAY_TASK_COUNT, or with SLURM_ARRAY_TASK_MIN and _MAX,
// and SLURM_ARRAY_TASK_STEP when the array has one), a Slurm job step (SLURM_PROCID and
// SLURM_NTASKS). An MPI launcher started inside a Slurm job is the one that numbered this
// process. Nothing, with problem saying why, when no launcher's variables are set or they
// do not make a shard.
using VariableLookup = std::function<std::optional<std::string>(const char* name)>;
std::optional<ShardNumbers> ShardFromLauncher(const VariableLookup& variable, std::string& problem);

// The scan file name for shard index: every "%k" in pattern becomes the index.
std::string ShardFileName(const std::string& pattern, std::uint32_t index);
