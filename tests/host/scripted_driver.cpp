#include "scripted_driver.h"

#include <string.h>

#include <deque>
#include <mutex>

namespace driver {
namespace {

std::mutex g_mutex;
std::deque<Answer> g_script;
std::function<Answer(const Transfer &)> g_responder;
std::vector<Transfer> g_transfers;

} // namespace

__attribute__((weak)) Answer DefaultAnswer(const Transfer &) { return Answer{}; }

void Reset() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_script.clear();
    g_responder = nullptr;
    g_transfers.clear();
}

void Script(std::initializer_list<Answer> answers) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_script.insert(g_script.end(), answers.begin(), answers.end());
}

void Script(const Answer &answer) { Script({answer}); }

void SetResponder(std::function<Answer(const Transfer &)> responder) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_responder = std::move(responder);
}

std::vector<Transfer> Transfers() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_transfers;
}

std::vector<uint32_t> Codes() {
    std::vector<uint32_t> codes;
    for (const Transfer &t : Transfers())
        codes.push_back(t.code);
    return codes;
}

bool Serve(void *block, uint32_t inLength, uint32_t outLength) {
    const size_t slotSize = sizeof(void *);
    Transfer transfer = {};
    for (int i = 0; i < 8; ++i) {
        memcpy(&transfer.slot[i], static_cast<char *>(block) + i * slotSize, slotSize);
    }
    transfer.code = static_cast<uint32_t>(transfer.slot[0]);
    transfer.inLength = inLength;
    transfer.outLength = outLength;

    Answer answer;
    bool scripted = false;
    std::function<Answer(const Transfer &)> responder;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_transfers.push_back(transfer);
        if (!g_script.empty()) {
            answer = g_script.front();
            g_script.pop_front();
            scripted = true;
        } else {
            responder = g_responder;
        }
    }
    if (responder) {
        answer = responder(transfer);
    } else if (!scripted) {
        answer = DefaultAnswer(transfer);
    }
    if (!answer.ok) return false;
    memcpy(static_cast<char *>(block) + slotSize, &answer.slot1, slotSize);
    return true;
}

} // namespace driver
