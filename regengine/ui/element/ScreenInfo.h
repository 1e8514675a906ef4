#pragma once

#include <QtGlobal>

#include <functional>

namespace engine {

class QmRect;
class QmStrStream;

// The screen and accessibility record: the script's options (scaling, contrast), the
// screen's pixels per logical inch and whether the desktop asks for high contrast. Page
// coordinates are scaled by it, and elements that honour contrast draw with system colours
// while it is in force.
class ScreenInfo {
public:
    static constexpr quint8 kScaling = 0x1;
    static constexpr quint8 kContrast = 0x2;

    // What Refresh reads from the desktop.
    struct Metrics {
        int dpiX = 96;
        int dpiY = 96;
        bool highContrast = false;
    };
    using MetricsSource = std::function<Metrics()>;

    // The one record of the process.
    static ScreenInfo& Instance();
    // Replaces where Refresh reads from (tests); an empty source restores the desktop's.
    static void SetMetricsSource(MetricsSource source);
    // The desktop's values: the primary screen's logical dots per inch (96 without a screen)
    // and high contrast when the GTK theme in use is a HighContrast one.
    static Metrics DesktopMetrics();

    // Reads the screen values and the high-contrast state again.
    void Refresh();
    // The rest of an ACCESSIBILITY line: comma-separated entries, each "+word" to set or
    // any other first character to clear; the words all, scaling and contrast in any case.
    // Unknown words change nothing.
    void ParseOptions(QmStrStream& stream);
    // options = (options | set) & ~clear.
    void SetOptions(quint8 set, quint8 clear);

    quint8 GetOptions() const { return options_; }
    int DpiX() const { return dpiX_; }
    int DpiY() const { return dpiY_; }
    bool IsHighContrast() const { return highContrast_; }
    bool ScalingOn() const { return (options_ & kScaling) != 0; }
    // The contrast option is set and the desktop is in high contrast.
    bool ContrastMode() const { return (options_ & kContrast) != 0 && highContrast_; }
    // A script rectangle in screen pixels while scaling is on.
    void Scale(QmRect& rect) const;

private:
    ScreenInfo();

    quint8 options_ = 0;
    int dpiX_ = 96;
    int dpiY_ = 96;
    bool highContrast_ = false;
};

}  // namespace engine
