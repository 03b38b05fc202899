// Writing and removing the folder verb's two registry keys.
#include "setup/FolderCommand.h"

namespace {

constexpr const char* kShellKey = "Folder\\shell";
constexpr const char* kVerbKey = "Folder\\shell\\Brimwell";
constexpr const char* kCommandKey = "Folder\\shell\\Brimwell\\command";

}  // namespace

FolderCommand::FolderCommand(const PlatformPaths& paths)
    : registry_(paths), programPath_(paths.programPath) {}

std::string FolderCommand::CommandText() const {
    return programPath_.string() + " \"%1\"";
}

void FolderCommand::Refresh(bool add) {
    Remove();
    if (!add)
        return;
    if (!registry_.CreateKey(RegistryRoot::Classes, kVerbKey))
        return;
    registry_.SetValue(RegistryRoot::Classes, kVerbKey, "", "Brimwell");
    if (!registry_.CreateKey(RegistryRoot::Classes, kCommandKey))
        return;
    registry_.SetValue(RegistryRoot::Classes, kCommandKey, "", CommandText());
}

void FolderCommand::Remove() {
    if (!registry_.KeyExists(RegistryRoot::Classes, kVerbKey))
        return;
    RegStatus status = registry_.DeleteKey(RegistryRoot::Classes, kCommandKey);
    if (status != RegStatus::Ok && status != RegStatus::NotFound)
        return;
    if (!registry_.KeyExists(RegistryRoot::Classes, kShellKey))
        return;
    registry_.DeleteKey(RegistryRoot::Classes, kVerbKey);
}
