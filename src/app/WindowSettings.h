// The keys of section USERPREFS that the main window reads and writes: its placement, the
// splitter position and the title suffix.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QRect>

class SettingsStore;

class WindowSettings {
  public:
    virtual ~WindowSettings() = default;
    // The integer stored under key, or fallback when there is none.
    virtual int ReadInt(const std::string& key, int fallback) = 0;
    // The text stored under key (at most 79 characters), or empty.
    virtual std::string ReadString(const std::string& key) = 0;
    virtual void WriteInt(const std::string& key, int value) = 0;
    // WriteInt of each (key, value) in order; a store may save them together.
    virtual void WriteInts(const std::vector<std::pair<std::string, int>>& values) {
        for (const auto& [key, value] : values)
            WriteInt(key, value);
    }
};

// The keys of section USERPREFS in the settings store.
class UserPreferences : public WindowSettings {
  public:
    // store must outlive this object.
    explicit UserPreferences(SettingsStore& store) : store_(store) {}
    int ReadInt(const std::string& key, int fallback) override;
    std::string ReadString(const std::string& key) override;
    void WriteInt(const std::string& key, int value) override;
    // Closing the window writes five keys: one replacement of the file, not five, each of
    // which would wait for the disk.
    void WriteInts(const std::vector<std::pair<std::string, int>>& values) override;

  private:
    SettingsStore& store_;
};

// The placement a previous run saved: the outer rectangle, if MainWndW and MainWndH are
// both above 0, with a left or top edge below 0 moved to 0.
std::optional<QRect> ReadPlacement(WindowSettings& settings);
// Writes MainWndW, MainWndH, MainWndL, MainWndT from the outer rectangle, then SPLITTERW0.
void WritePlacement(WindowSettings& settings, const QRect& outer, int splitterPos);
// SPLITTERW0, 200 when absent.
int ReadSplitterPos(WindowSettings& settings);
