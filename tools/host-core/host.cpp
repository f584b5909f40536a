#include "host.h"

#include "hosterror.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace hostcore {

namespace {

// Requests recorded while processing must not allocate on the audio thread in
// a test that counts allocations, so room for many is taken up front.
constexpr std::size_t kReservedRequests = 4096;

thread_local Host* hostBeingLoaded = nullptr;

} // namespace

Host::Host()
{
    setAnswer(audioMasterVersion, kDefaultVersion);
    setAnswer(audioMasterUpdateDisplay, 1);
    setAnswer(audioMasterSizeWindow, 1);
    requests_.reserve(kReservedRequests);
}

VstIntPtr Host::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                         void* ptr, float opt)
{
    Host* host =
        effect && effect->resvd1 ? reinterpret_cast<Host*>(effect->resvd1) : hostBeingLoaded;
    // A call nobody can be told about (no record, not loading) gets the
    // answer of a host that offers nothing.
    if (!host) return 0;
    return host->answer(effect, opcode, index, value, ptr, opt);
}

void Host::attach(AEffect& effect)
{
    effect.resvd1 = reinterpret_cast<VstIntPtr>(this);
}

Host::LoadingGuard::LoadingGuard(Host& host) : previous_(hostBeingLoaded)
{
    hostBeingLoaded = &host;
}

Host::LoadingGuard::~LoadingGuard()
{
    hostBeingLoaded = previous_;
}

void Host::setAnswer(VstInt32 opcode, VstIntPtr answer)
{
    if (opcode < 0 || static_cast<std::size_t>(opcode) >= kOpcodeSlots)
        throw HostError(HostFailure::BadArgument,
                        "no host answer can be set for opcode " + std::to_string(opcode));
    answers_[opcode].store(answer);
}

void Host::setCanDo(const std::string& text, VstIntPtr answer)
{
    std::lock_guard lock(textsMutex_);
    canDoAnswers_[text] = answer;
}

void Host::setCanDoDefault(VstIntPtr answer)
{
    std::lock_guard lock(textsMutex_);
    canDoDefault_ = answer;
}

void Host::setProductString(const std::string& product)
{
    std::lock_guard lock(textsMutex_);
    product_ = product;
}

void Host::setSampleRate(double sampleRate)
{
    transport_.setSampleRate(sampleRate);
    sampleRate_.store(sampleRate);
}

void Host::setBlockSize(VstInt32 blockSize)
{
    blockSize_.store(blockSize);
}

std::uint64_t Host::callCount(VstInt32 opcode) const
{
    return calls_[slotOf(opcode)].load();
}

std::uint64_t Host::nullRecordCallCount(VstInt32 opcode) const
{
    return nullRecordCalls_[slotOf(opcode)].load();
}

std::vector<HostRequest> Host::requests(VstInt32 opcode) const
{
    std::lock_guard lock(requestsMutex_);
    std::vector<HostRequest> matching;
    for (const HostRequest& request : requests_)
        if (request.opcode == opcode) matching.push_back(request);
    return matching;
}

void Host::clearRecords()
{
    std::lock_guard lock(requestsMutex_);
    requests_.clear();
    for (auto& count : calls_)
        count.store(0);
    for (auto& count : nullRecordCalls_)
        count.store(0);
}

std::vector<HostRequest> Host::takeRequests()
{
    std::lock_guard lock(requestsMutex_);
    std::vector<HostRequest> taken = requests_;
    requests_.clear();
    return taken;
}

std::size_t Host::slotOf(VstInt32 opcode)
{
    if (opcode < 0 || static_cast<std::size_t>(opcode) >= kOpcodeSlots) return kOpcodeSlots;
    return static_cast<std::size_t>(opcode);
}

VstIntPtr Host::answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt)
{
    const std::size_t slot = slotOf(opcode);
    calls_[slot].fetch_add(1);
    if (!effect) nullRecordCalls_[slot].fetch_add(1);

    switch (opcode) {
    case audioMasterAutomate:
    case audioMasterUpdateDisplay:
        record(effect, opcode, index, value, opt);
        break;
    case audioMasterSizeWindow:
        record(effect, opcode, index, value, opt);
        if (windowSizer_) return windowSizer_(index, int(value)) ? 1 : 0;
        break;
    case audioMasterGetProductString:
        if (const VstIntPtr written = productString(static_cast<char*>(ptr))) return written;
        break;
    case audioMasterGetTime:
        return timeInfo(value);
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(sampleRate_.load());
    case audioMasterGetBlockSize:
        return blockSize_.load();
    case audioMasterCanDo:
        return canDo(static_cast<const char*>(ptr));
    default:
        break;
    }
    return answers_[slot].load();
}

void Host::record(const AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                  float opt)
{
    const std::atomic<std::int64_t>* clock = requestClock_.load();
    const std::int64_t stamp = clock ? clock->load() : 0;
    std::lock_guard lock(requestsMutex_);
    requests_.push_back({effect, opcode, index, value, opt, std::this_thread::get_id(), stamp});
}

VstIntPtr Host::timeInfo(VstIntPtr requestMask)
{
    lastTimeMask_.store(requestMask);
    if (!timeInfoAvailable_.load()) return 0;
    timeAnswer_ = transport_.current();
    if (tempoOnlyWhenRequested_.load() && !(requestMask & kVstTempoValid)) {
        timeAnswer_.tempo = 0.0;
        timeAnswer_.flags &= ~kVstTempoValid;
    }
    if (timeInfoEdit_) timeInfoEdit_(timeAnswer_);
    return reinterpret_cast<VstIntPtr>(&timeAnswer_);
}

VstIntPtr Host::canDo(const char* text) const
{
    std::lock_guard lock(textsMutex_);
    if (!text) return canDoDefault_;
    const auto found = canDoAnswers_.find(text);
    return found == canDoAnswers_.end() ? canDoDefault_ : found->second;
}

// A real host writes at most the interface's 64 bytes, the terminating zero included.
VstIntPtr Host::productString(char* text) const
{
    std::lock_guard lock(textsMutex_);
    if (!text || product_.empty()) return 0;
    const std::size_t length = std::min<std::size_t>(product_.size(), kVstMaxProductStrLen - 1);
    std::memcpy(text, product_.data(), length);
    text[length] = '\0';
    return 1;
}

} // namespace hostcore
