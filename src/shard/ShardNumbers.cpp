// Shard numbers from the command line and from launchers' environments.
#include "shard/ShardNumbers.h"

#include <charconv>

namespace {

// A decimal number without sign, blanks or anything after it.
std::optional<std::uint64_t> Number(std::string_view text) {
    std::uint64_t value = 0;
    if (text.empty() || text.size() > 12)
        return std::nullopt;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<ShardNumbers> Make(std::uint64_t index, std::uint64_t count) {
    if (count == 0 || count > kMaxShards || index >= count)
        return std::nullopt;
    return ShardNumbers{static_cast<std::uint32_t>(index), static_cast<std::uint32_t>(count)};
}

struct Pair {
    const char* index;
    const char* count;
};

// A rank and a size: nothing when the rank is not set; problem when they do not make a shard.
std::optional<ShardNumbers> FromPair(const VariableLookup& variable, Pair names, bool& found,
                                     std::string& problem) {
    std::optional<std::string> index = variable(names.index);
    if (!index)
        return std::nullopt;
    found = true;
    std::optional<std::string> count = variable(names.count);
    std::optional<std::uint64_t> k = Number(*index);
    std::optional<std::uint64_t> n = count ? Number(*count) : std::nullopt;
    std::optional<ShardNumbers> numbers = k && n ? Make(*k, *n) : std::nullopt;
    if (!numbers)
        problem = std::string(names.index) + "=" + *index + " and " + names.count + "=" +
                  count.value_or("(not set)") + " do not name shard K of N";
    return numbers;
}

// A Slurm job array: task IDs MIN, MIN+STEP, ... MAX are shards 0 to N-1.
std::optional<ShardNumbers> FromJobArray(const VariableLookup& variable, bool& found,
                                         std::string& problem) {
    std::optional<std::string> id = variable("SLURM_ARRAY_TASK_ID");
    if (!id)
        return std::nullopt;
    found = true;
    auto number = [&](const char* name) -> std::optional<std::uint64_t> {
        std::optional<std::string> text = variable(name);
        return text ? Number(*text) : std::nullopt;
    };
    std::optional<std::uint64_t> task = Number(*id);
    std::optional<std::uint64_t> count = number("SLURM_ARRAY_TASK_COUNT");
    std::optional<std::uint64_t> low = number("SLURM_ARRAY_TASK_MIN");
    std::optional<std::uint64_t> high = number("SLURM_ARRAY_TASK_MAX");
    std::uint64_t step = number("SLURM_ARRAY_TASK_STEP").value_or(1);
    if (task && low && step > 0 && *task >= *low && (*task - *low) % step == 0) {
        std::uint64_t index = (*task - *low) / step;
        std::optional<std::uint64_t> span =
            high && *high >= *low ? std::optional((*high - *low) / step + 1) : std::nullopt;
        // An array with gaps ("0,3,7") has fewer tasks than its span: its IDs name no shard.
        if (span && (!count || *count == *span))
            if (std::optional<ShardNumbers> numbers = Make(index, *span))
                return numbers;
        if (!span && count)
            if (std::optional<ShardNumbers> numbers = Make(index, *count))
                return numbers;
    } else if (task && count && !low) {
        if (std::optional<ShardNumbers> numbers = Make(*task, *count))
            return numbers;
    }
    problem = "the Slurm job array (SLURM_ARRAY_TASK_ID=" + *id +
              ") is not one task per shard numbered MIN, MIN+STEP, ... MAX without gaps";
    return std::nullopt;
}

}  // namespace

std::optional<ShardNumbers> ParseShardNumbers(const std::string& text) {
    std::size_t slash = text.find('/');
    if (slash == std::string::npos)
        return std::nullopt;
    std::optional<std::uint64_t> index = Number(std::string_view(text).substr(0, slash));
    std::optional<std::uint64_t> count = Number(std::string_view(text).substr(slash + 1));
    return index && count ? Make(*index, *count) : std::nullopt;
}

std::optional<ShardNumbers> ShardFromLauncher(const VariableLookup& variable,
                                              std::string& problem) {
    bool found = false;
    problem.clear();
    for (Pair names :
         {Pair{"OMPI_COMM_WORLD_RANK", "OMPI_COMM_WORLD_SIZE"}, Pair{"PMI_RANK", "PMI_SIZE"}}) {
        std::optional<ShardNumbers> numbers = FromPair(variable, names, found, problem);
        if (found)
            return numbers;
    }
    std::optional<ShardNumbers> numbers = FromJobArray(variable, found, problem);
    if (found)
        return numbers;
    numbers = FromPair(variable, {"SLURM_PROCID", "SLURM_NTASKS"}, found, problem);
    if (found)
        return numbers;
    problem =
        "no launcher says which shard this is: looked for OMPI_COMM_WORLD_RANK and "
        "OMPI_COMM_WORLD_SIZE (Open MPI), PMI_RANK and PMI_SIZE (MPICH and other PMI "
        "launchers), SLURM_ARRAY_TASK_ID with SLURM_ARRAY_TASK_COUNT or SLURM_ARRAY_TASK_MIN "
        "and SLURM_ARRAY_TASK_MAX (a Slurm job array), SLURM_PROCID and SLURM_NTASKS (a Slurm "
        "job step)";
    return std::nullopt;
}

std::string ShardFileName(const std::string& pattern, std::uint32_t index) {
    std::string name;
    const std::string number = std::to_string(index);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 'k') {
            name += number;
            ++i;
        } else {
            name += pattern[i];
        }
    }
    return name;
}
