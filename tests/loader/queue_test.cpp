// The bounded queue between the main thread and the loader, driven from real threads.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "framework/concurrent_circular_buffer.h"
#include "player/shader_request.h"

using namespace std::chrono_literals;
using Queue = framework::ConcurrentCircularBuffer<ShaderRequest>;
using framework::gl::GlslProg;
using framework::gl::GlslProgRef;

namespace {

// A program handle that is never dereferenced: only its sharing is looked at, which needs no
// GL context.
GlslProgRef fakeProgram() {
    auto owner = std::make_shared<int>(0);
    return GlslProgRef(owner, reinterpret_cast<GlslProg*>(owner.get()));
}

// True once `done` is set, looking for at most `limit`.
bool becomes(const std::atomic<bool>& done, std::chrono::milliseconds limit = 5000ms) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (done.load()) return true;
        std::this_thread::sleep_for(1ms);
    }
    return done.load();
}

}  // namespace

TEST(ShaderRequest, CopiesShareTheProgramAndOwnTheirPath) {
    ShaderRequest a(77);
    a.path = L"/tmp/a.frag";
    a.program = fakeProgram();
    ShaderRequest b(a);
    EXPECT_EQ(b.id, 77);
    EXPECT_EQ(b.path, a.path);
    EXPECT_EQ(b.program.get(), a.program.get());
    EXPECT_EQ(a.program.use_count(), 2);
    b.path[0] = L'X';
    EXPECT_EQ(a.path, L"/tmp/a.frag");

    ShaderRequest c(1);
    c.program = fakeProgram();
    std::weak_ptr<GlslProg> old = c.program;
    c = a;  // releases the share c held before
    EXPECT_TRUE(old.expired());
    EXPECT_EQ(a.program.use_count(), 3);

    ShaderRequest blank;
    EXPECT_EQ(blank.id, 0);
    EXPECT_TRUE(blank.path.empty());
    EXPECT_FALSE(blank.program);
}

TEST(Queue, FirstInFirstOutAcrossThreadsThroughManyWraps) {
    Queue queue(100);
    constexpr int count = 5000;
    std::thread producer([&] {
        for (int i = 0; i < count; ++i) {
            ShaderRequest r(i);
            r.path = std::to_wstring(i);
            ASSERT_TRUE(queue.pushFront(r));
        }
    });
    std::vector<int> seen;
    seen.reserve(count);
    for (int i = 0; i < count; ++i) {
        ShaderRequest r;
        ASSERT_TRUE(queue.popBack(r));
        ASSERT_EQ(r.path, std::to_wstring(r.id));
        seen.push_back(r.id);
    }
    producer.join();
    for (int i = 0; i < count; ++i) ASSERT_EQ(seen[i], i);
    EXPECT_FALSE(queue.isNotEmpty());
}

TEST(Queue, PoppedRecordEqualsPushedAndSharesItsProgram) {
    Queue queue(100);
    ShaderRequest pushed(81);
    pushed.path = L"/home/someone/drop.frag";
    pushed.program = fakeProgram();
    std::thread([&] { queue.pushFront(pushed); }).join();

    ShaderRequest popped;
    std::thread([&] { queue.popBack(popped); }).join();
    EXPECT_EQ(popped.id, 81);
    EXPECT_EQ(popped.path, pushed.path);
    EXPECT_EQ(popped.program.get(), pushed.program.get());
    // The program lives as long as any holder does.
    std::weak_ptr<GlslProg> watch = pushed.program;
    pushed.program.reset();
    EXPECT_FALSE(watch.expired());
}

TEST(Queue, TheTimelinesRequestsFitWithoutWaiting) {
    Queue queue(100);
    std::atomic<bool> done{false};
    std::thread setup([&] {
        for (int i = 0; i < 28; ++i) queue.pushFront(ShaderRequest(67 + i % 17));
        done = true;
    });
    ASSERT_TRUE(becomes(done)) << "pushing 28 requests onto an empty queue waited";
    setup.join();
    EXPECT_EQ(queue.size(), 28u);
    EXPECT_TRUE(queue.isNotFull());
    for (int i = 28; i < 100; ++i) {
        EXPECT_TRUE(queue.isNotFull());
        queue.pushFront(ShaderRequest(i));
    }
    EXPECT_FALSE(queue.isNotFull());
    ShaderRequest first;
    queue.popBack(first);
    EXPECT_EQ(first.id, 67);
}

TEST(Queue, PushOntoAFullQueueWaitsForAPopAndTheTestsNeverWait) {
    Queue queue(100);
    for (int i = 0; i < 100; ++i) queue.pushFront(ShaderRequest(i));
    std::atomic<bool> pushed{false};
    std::thread loader([&] {
        queue.pushFront(ShaderRequest(100));
        pushed = true;
    });
    EXPECT_FALSE(becomes(pushed, 100ms)) << "a push onto a full queue did not wait";
    // While the producer waits, both tests still answer at once.
    auto answers = std::async(std::launch::async, [&] {
        return std::make_pair(queue.isNotFull(), queue.isNotEmpty());
    });
    ASSERT_EQ(answers.wait_for(2s), std::future_status::ready) << "a test waited";
    EXPECT_EQ(answers.get(), std::make_pair(false, true));

    ShaderRequest oldest;
    std::thread update([&] { queue.popBack(oldest); });
    update.join();
    EXPECT_EQ(oldest.id, 0);
    EXPECT_TRUE(becomes(pushed)) << "the waiting push was not released by a pop";
    loader.join();
    // The late record goes in behind the others.
    for (int i = 1; i <= 100; ++i) {
        ShaderRequest r;
        queue.popBack(r);
        ASSERT_EQ(r.id, i);
    }
}

TEST(Queue, PopFromAnEmptyQueueWaitsAndTheTestsStillAnswer) {
    Queue queue(100);
    std::atomic<bool> popped{false};
    ShaderRequest out;
    std::thread consumer([&] {
        queue.popBack(out);
        popped = true;
    });
    EXPECT_FALSE(becomes(popped, 100ms));
    auto answers = std::async(std::launch::async, [&] {
        return std::make_pair(queue.isNotFull(), queue.isNotEmpty());
    });
    ASSERT_EQ(answers.wait_for(2s), std::future_status::ready) << "a test waited";
    EXPECT_EQ(answers.get(), std::make_pair(true, false));
    queue.pushFront(ShaderRequest(5));
    EXPECT_TRUE(becomes(popped));
    consumer.join();
    EXPECT_EQ(out.id, 5);
}

TEST(Queue, CancelReleasesEveryWaiterAndLaterPushesStoreNothing) {
    Queue full(100);
    for (int i = 0; i < 100; ++i) full.pushFront(ShaderRequest(i));
    Queue empty(100);

    std::atomic<bool> pushReturned{false}, popReturned{false};
    std::atomic<bool> pushResult{true}, popResult{true};
    ShaderRequest target(-1);
    std::thread pusher([&] {
        ShaderRequest r(500);
        r.program = fakeProgram();
        pushResult = full.pushFront(r);
        pushReturned = true;
    });
    std::thread popper([&] {
        popResult = empty.popBack(target);
        popReturned = true;
    });
    EXPECT_FALSE(becomes(pushReturned, 50ms));
    EXPECT_FALSE(becomes(popReturned, 50ms));
    full.cancel();
    empty.cancel();
    EXPECT_TRUE(becomes(pushReturned));
    EXPECT_TRUE(becomes(popReturned));
    pusher.join();
    popper.join();
    EXPECT_FALSE(pushResult.load());
    EXPECT_FALSE(popResult.load());
    EXPECT_EQ(target.id, -1) << "a canceled pop touched the caller's record";
    EXPECT_EQ(full.size(), 100u);

    EXPECT_FALSE(empty.pushFront(ShaderRequest(1)));
    EXPECT_FALSE(empty.isNotEmpty());
    // What was stored before the cancel can still be taken.
    ShaderRequest r;
    EXPECT_TRUE(full.popBack(r));
    EXPECT_EQ(r.id, 0);
}

TEST(Queue, DestroyingTheQueueReleasesUnclaimedPrograms) {
    std::weak_ptr<GlslProg> watch;
    {
        Queue queue(100);
        ShaderRequest r(70);
        r.program = fakeProgram();
        watch = r.program;
        queue.pushFront(r);
        r.program.reset();
        EXPECT_FALSE(watch.expired());
    }
    EXPECT_TRUE(watch.expired());
}
