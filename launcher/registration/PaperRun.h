#pragma once

namespace engine {
class CPrintMeView;
}

namespace launcher {

class RegWind;

// The printed run: the whole record and the script's heading lines ("MailHeader" for the
// mail form, kind 1; "FaxHeader" for the fax form, kind 0), field tags substituted, handed
// to the print view, which prints the form through the print dialog. True when it printed;
// the window then hears "registered". False without a view or when printing was cancelled.
bool RegisterOnPaper(RegWind& window, int kind, engine::CPrintMeView* view);
bool RegisterOnPaper(RegWind& window, int kind);

}  // namespace launcher
