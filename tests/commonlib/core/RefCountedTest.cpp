#include "commonlib/core/RefCounted.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

class CCounted : public CRefThreadSafeBase {
public:
    explicit CCounted(std::atomic<int>& deletions) : m_deletions(deletions) {}

private:
    ~CCounted() override { ++m_deletions; }
    std::atomic<int>& m_deletions;
};

}  // namespace

TEST(RefCountedTest, LastReferenceDeletesOnceEvenWhenDroppedConcurrently) {
    std::atomic<int> deletions{0};
    for (int round = 0; round < 20; ++round) {
        CRefPtr<CCounted> shared(new CCounted(deletions));
        CRefPtr<CCounted>& alias = shared;
        shared = alias;  // self-assignment keeps the object
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([copy = shared]() mutable {
                for (int i = 0; i < 1000; ++i)
                    CRefPtr<CCounted> more = copy;
            });
        }
        shared.Reset();
        for (auto& thread : threads)
            thread.join();
    }
    EXPECT_EQ(deletions, 20);
}
