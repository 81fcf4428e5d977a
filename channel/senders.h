// Filling, sending and reading back one command. Every operation of the
// library goes through Command(): a zeroed block on the caller's stack, the
// code in slot 0, the arguments in slots 1.., one transfer. Nothing is
// allocated and nothing is kept.
#pragma once

#include "channel/command_block.h"
#include "channel/command_codes.h"

struct SentCommand {
    CommandBlock block;
    int32_t ok; // the transfer's success indicator
};

// Argument encoders: a 16-bit argument fills the low 16 bits of its slot, a
// 32-bit argument the low 32 bits, an address the whole slot. The rest of the
// slot is zero.
inline Slot Arg16(int32_t value) { return static_cast<uint16_t>(value); }
inline Slot Arg32(int32_t value) { return static_cast<uint32_t>(value); }
inline Slot ArgAddress(const void *address) {
    return static_cast<Slot>(reinterpret_cast<uintptr_t>(address));
}

template <typename... Slots> inline SentCommand Command(CommandCode code, Slots... args) {
    static_assert(sizeof...(args) <= 6, "slot 7 never carries anything");
    SentCommand sent = {};
    sent.block.slot[0] = code;
    const Slot values[] = {Slot(0), static_cast<Slot>(args)...};
    for (size_t i = 1; i < sizeof(values) / sizeof(values[0]); ++i)
        sent.block.slot[i] = values[i];
    sent.ok = SendCommand(&sent.block);
    return sent;
}

// Replies. A failed transfer answers 0, never what the block was sent with.
inline int16_t Reply16(const SentCommand &sent) {
    return sent.ok ? static_cast<int16_t>(static_cast<uint16_t>(sent.block.slot[1])) : 0;
}
inline int32_t Reply32(const SentCommand &sent) {
    return sent.ok ? static_cast<int32_t>(static_cast<uint32_t>(sent.block.slot[1])) : 0;
}
inline uint32_t ReplyU32(const SentCommand &sent) { return static_cast<uint32_t>(Reply32(sent)); }
