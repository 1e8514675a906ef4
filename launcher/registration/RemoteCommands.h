#pragma once

#include "regengine/core/FourCC.h"

#include <QString>

namespace engine {
struct RemoteRecord;
}

namespace launcher {

class RegWind;

// What a remote page command names: a field code (SETF, HIDF, SHOF) and a text (SETF, TCMD).
struct RemoteArguments {
    engine::FourCC code;
    QString text;
};

// The record's arguments as the window reads them: the code from the low bytes of the four
// UTF-16 units at offset 8; the text, UTF-16 low byte first up to the record's end or a 0,
// from offset 16 for SETF (after its code) and from offset 12 for TCMD. False when the
// record is too short to hold the fields its command needs.
bool ReadRemoteArguments(const engine::RemoteRecord& record, RemoteArguments& out);

// Whether script text from the service may use the page-script keyword: only those that
// build controls, fields and their rules in the window, never one that reads or writes a
// file, the registry, starts anything or reaches the network, nor one that changes the
// product's identity (SETHEADER) or adds pages.
bool RemoteScriptMayRun(int keyword);

// Carries out the record on the window; the command's number (above 22 for an unknown
// name). A record too short for its fields does nothing.
int ExecuteRemoteCommand(RegWind& window, const engine::RemoteRecord& record);

}  // namespace launcher
