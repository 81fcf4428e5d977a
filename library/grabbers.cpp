// Grabber handles: a record tying the driver's board token to the library's
// table.
#include <stdlib.h>

#include "channel/senders.h"
#include "library/interface_table.h"

GrabberRecord *ZTV_CALL AllocateFG(int16_t board) {
    const int32_t token = Reply32(Command(kBoardAllocate, Arg16(board)));
    if (token == 0) return nullptr;
    GrabberRecord *grabber = static_cast<GrabberRecord *>(malloc(sizeof(GrabberRecord)));
    if (grabber == nullptr) {
        // No record to name the board: hand the token itself back.
        Command(kBoardFree, Arg32(token));
        return nullptr;
    }
    *grabber = GrabberRecord{};
    grabber->table = &g_interfaceTable;
    grabber->boardToken = token;
    return grabber;
}

// A refused release keeps the record, so the handle stays usable.
void ZTV_CALL FreeFG(GrabberRecord *grabber) {
    if (Reply16(Command(kBoardFree, ArgAddress(grabber))) != 0) free(grabber);
}
