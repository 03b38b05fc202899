// Reading and writing the main window's placement keys.
#include "app/WindowSettings.h"

#include <algorithm>

#include "setup/SettingsStore.h"

namespace {

// The key of splitter position `index`, in the format "SPLITTERW%ld".
std::string SplitterKey(long index) {
    return "SPLITTERW" + std::to_string(index);
}

constexpr const char* kSection = "USERPREFS";

}  // namespace

int UserPreferences::ReadInt(const std::string& key, int fallback) {
    return store_.ReadInt(kSection, key, fallback);
}

std::string UserPreferences::ReadString(const std::string& key) {
    return store_.ReadString(kSection, key, nullptr);
}

void UserPreferences::WriteInt(const std::string& key, int value) {
    store_.WriteInt(kSection, key, value);
}

void UserPreferences::WriteInts(const std::vector<std::pair<std::string, int>>& values) {
    store_.WriteInts(kSection, {values.begin(), values.end()});
}

std::optional<QRect> ReadPlacement(WindowSettings& settings) {
    int width = settings.ReadInt("MainWndW", -1);
    int height = settings.ReadInt("MainWndH", -1);
    int left = std::max(0, settings.ReadInt("MainWndL", -1));
    int top = std::max(0, settings.ReadInt("MainWndT", -1));
    if (width <= 0 || height <= 0)
        return std::nullopt;
    return QRect(left, top, width, height);
}

void WritePlacement(WindowSettings& settings, const QRect& outer, int splitterPos) {
    settings.WriteInts({{"MainWndW", outer.width()},
                        {"MainWndH", outer.height()},
                        {"MainWndL", outer.left()},
                        {"MainWndT", outer.top()},
                        {SplitterKey(0), splitterPos}});
}

int ReadSplitterPos(WindowSettings& settings) {
    return settings.ReadInt(SplitterKey(0), 200);
}
