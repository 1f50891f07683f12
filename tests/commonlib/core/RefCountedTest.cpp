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

TEST(RefCountedTest, LastReferenceDeletesOnce) {
    std::atomic<int> deletions{0};
    {
        CRefPtr<CCounted> a(new CCounted(deletions));
        CRefPtr<CCounted> b = a;
        CRefPtr<CCounted> c = std::move(b);
        EXPECT_FALSE(b);
        CRefPtr<CCounted>& alias = a;
        a = alias;  // self-assignment keeps the object
        c.Reset();
        EXPECT_EQ(deletions, 0);
    }
    EXPECT_EQ(deletions, 1);

    // References dropped concurrently from several threads still delete exactly once.
    for (int round = 0; round < 20; ++round) {
        CRefPtr<CCounted> shared(new CCounted(deletions));
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
    EXPECT_EQ(deletions, 21);
}
