// A scripted stand-in for the board's driver, the same in every form. The
// platform hosts hand it each device-control transfer; it records the block
// as sent and answers from the test's script.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <vector>

// One transfer as the driver saw it.
struct Transfer {
    uint32_t code;      // slot 0
    uint32_t inLength;  // bytes offered to the driver
    uint32_t outLength; // bytes the driver may answer
    uint64_t slot[8];   // every slot as sent, zero-extended
};

// How the driver answers one transfer.
struct Answer {
    bool ok = true;     // false: the transfer fails and the block is left alone
    uint64_t slot1 = 1; // written into slot 1 (truncated to the slot width)
};

namespace driver {

// Forgets every record and script; the default answer is success with 1.
void Reset();
// Answers the next transfers in this order, before the responder.
void Script(std::initializer_list<Answer> answers);
void Script(const Answer &answer);
// Answers transfers that the script does not cover.
void SetResponder(std::function<Answer(const Transfer &)> responder);

std::vector<Transfer> Transfers();
std::vector<uint32_t> Codes();

// The answer when neither script nor responder covers a transfer: success
// with 1. A stand-in driver built from these files may define its own.
Answer DefaultAnswer(const Transfer &transfer);

// Called by the hosts: records the block, answers in place, returns success.
bool Serve(void *block, uint32_t inLength, uint32_t outLength);

} // namespace driver
