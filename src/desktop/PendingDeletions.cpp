// The autostart entry that carries out "Wininit.ini" at login, with its shell script.
#include "desktop/PendingDeletions.h"

#include <string>

#include "desktop/DesktopEntry.h"

namespace {

// Run as: sh -c SCRIPT brimwell-pending-deletions INSTRUCTION_FILE ENTRY_FILE
// s: 1 inside a [rename] section; k: 1 once a line worth keeping has been copied.
constexpr const char* kRunnerScript =
    "f=$1; e=$2; t=$f.tmp; cr=$(printf '\\r'); s=0; k=0\n"
    "if [ -f \"$f\" ]; then\n"
    "  : > \"$t\" || exit 1\n"
    "  while IFS= read -r l || [ -n \"$l\" ]; do\n"
    "    c=${l%\"$cr\"}\n"
    "    case $c in\n"
    "      '[rename]') s=1 ;;\n"
    "      '['*) s=0 ;;\n"
    "    esac\n"
    "    p=${c#NUL=}\n"
    "    if [ $s = 1 ] && [ \"$p\" != \"$c\" ]; then\n"
    "      case $p in\n"
    "        /*) if [ -d \"$p\" ] && [ ! -L \"$p\" ]; then rmdir -- \"$p\" 2>/dev/null;\n"
    "            else rm -f -- \"$p\"; fi ;;\n"
    "      esac\n"
    "      continue\n"
    "    fi\n"
    "    case $c in '[rename]'|'') ;; *) k=1 ;; esac\n"
    "    printf '%s\\n' \"$l\" >> \"$t\"\n"
    "  done < \"$f\"\n"
    "  if [ $k = 1 ]; then mv -f -- \"$t\" \"$f\"; else rm -f -- \"$t\" \"$f\"; fi\n"
    "fi\n"
    "rm -f -- \"$e\"\n";

}  // namespace

PendingDeletions::PendingDeletions(const PlatformPaths& paths) : paths_(paths) {}

std::filesystem::path PendingDeletions::InstructionFile() const {
    return paths_.BrimwellConfig() / "Wininit.ini";
}

std::filesystem::path PendingDeletions::RunnerEntry() const {
    return paths_.autostart / "brimwell-pending-deletions.desktop";
}

bool PendingDeletions::InstallRunner() const {
    DesktopEntry entry;
    entry.Set("Type", "Application");
    entry.Set("Name", "Brimwell pending deletions");
    entry.Set("Comment", "Finishes uninstalling Brimwell");
    entry.Set("Exec", FormatExec({{"/bin/sh"},
                                  {"-c"},
                                  {kRunnerScript},
                                  {"brimwell-pending-deletions"},
                                  {InstructionFile().string()},
                                  {RunnerEntry().string()}}));
    entry.Set("NoDisplay", "true");
    entry.Set("Terminal", "false");
    return WriteDesktopEntry(RunnerEntry(), entry);
}
