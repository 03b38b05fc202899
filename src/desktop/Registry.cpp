// The registry's roots on disk, with the classes root mirrored into desktop entries.
#include "desktop/Registry.h"

#include <utility>

#include "desktop/AtomicFile.h"
#include "desktop/FolderVerbs.h"

Registry::Registry(PlatformPaths paths) : paths_(std::move(paths)) {}

std::filesystem::path Registry::FileOf(RegistryRoot root) const {
    switch (root) {
        case RegistryRoot::Classes:
            return paths_.BrimwellConfig() / "classes.reg";
        case RegistryRoot::User:
            return paths_.BrimwellConfig() / "user.reg";
        case RegistryRoot::Machine:
            return paths_.machineRoot / "machine.reg";
    }
    return {};
}

RegistryTree Registry::Load(RegistryRoot root) const {
    return RegistryTree::Parse(ReadWholeFile(FileOf(root)).bytes);
}

bool Registry::Update(RegistryRoot root, const std::function<bool(RegistryTree&)>& change) {
    RegistryTree tree;
    auto apply = [&](std::string_view current) -> std::optional<std::string> {
        tree = RegistryTree::Parse(current);
        if (!change(tree))
            return std::nullopt;
        return tree.Serialize();
    };
    auto reflect = [&] {
        if (root == RegistryRoot::Classes)
            ReflectFolderVerbs(tree, paths_.userApplications);
    };
    return UpdateFile(FileOf(root), apply, reflect);
}

bool Registry::CreateKey(RegistryRoot root, std::string_view path) {
    return Update(root, [&](RegistryTree& tree) {
        tree.CreateKey(path);
        return true;
    });
}

bool Registry::SetValue(RegistryRoot root, std::string_view path, std::string_view name,
                        std::string_view data) {
    return Update(root, [&](RegistryTree& tree) { return tree.SetValue(path, name, data); });
}

bool Registry::SetValues(RegistryRoot root, std::string_view path,
                         const std::vector<std::pair<std::string, std::string>>& values) {
    return Update(root, [&](RegistryTree& tree) {
        tree.CreateKey(path);
        for (const auto& [name, data] : values)
            tree.SetValue(path, name, data);
        return true;
    });
}

RegStatus Registry::DeleteKey(RegistryRoot root, std::string_view path) {
    RegStatus status = RegStatus::Failed;
    bool written = Update(root, [&](RegistryTree& tree) {
        status = tree.DeleteKey(path);
        return status == RegStatus::Ok;
    });
    if (status == RegStatus::Ok && !written)
        return RegStatus::Failed;
    return status;
}

bool Registry::KeyExists(RegistryRoot root, std::string_view path) const {
    return Load(root).HasKey(path);
}

std::optional<std::string> Registry::GetValue(RegistryRoot root, std::string_view path,
                                              std::string_view name) const {
    return Load(root).Value(path, name);
}

std::vector<std::string> Registry::SubkeyNames(RegistryRoot root, std::string_view path) const {
    return Load(root).SubkeyNames(path);
}
