// RunDownload's loop over a 64 MB body served from memory and written nowhere: the cost of the
// portable part of a download, per byte.
#include "update/core/DownloadFlow.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

using namespace kelvo;

namespace {

class MemoryTransport final : public kelvo::DownloadTransport {
public:
    explicit MemoryTransport(const std::vector<std::byte>& body) : m_body(body) {}
    bool Send() override { return true; }
    std::optional<int> StatusCode() override { return 200; }
    std::optional<std::uint64_t> ContentLength() override { return m_body.size(); }
    void ShowDownloadFailed() override {}
    bool CreateDestination() override { return true; }
    std::optional<std::size_t> Read(std::span<std::byte> block) override {
        const std::size_t n = std::min(block.size(), m_body.size() - m_offset);
        std::memcpy(block.data(), m_body.data() + m_offset, n);
        m_offset += n;
        return n;
    }
    bool Write(std::span<const std::byte> bytes) override {
        m_sum += static_cast<unsigned>(bytes.front()) + bytes.size();
        return true;
    }
    bool CloseDestination() override { return true; }
    std::size_t sum() const { return m_sum; }

private:
    const std::vector<std::byte>& m_body;
    std::size_t m_offset = 0;
    std::size_t m_sum = 0;
};

void BM_RunDownload64MB(benchmark::State& state) {
    const std::vector<std::byte> body(64u << 20, std::byte{0x5A});
    for (auto _ : state) {
        MemoryTransport transport(body);
        benchmark::DoNotOptimize(kelvo::RunDownload(transport));
        benchmark::DoNotOptimize(transport.sum());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(body.size()));
}
BENCHMARK(BM_RunDownload64MB)->Unit(benchmark::kMillisecond);

} // namespace
