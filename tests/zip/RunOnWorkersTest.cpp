// Tasks spread over the archiver's workers: every task runs once, a throwing
// task stops none of the others, and one worker means the calling thread.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "zip/TZAWorkerPool.h"

namespace {

class RunOnWorkersTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { SetDefaultArchiverWorkers(GetParam()); }
    void TearDown() override { SetDefaultArchiverWorkers(0); }
};

TEST_P(RunOnWorkersTest, EveryTaskRunsOnceAndTheFirstFailureByNumberIsRaised)
{
    constexpr size_t kTasks = 200;
    std::vector<std::atomic<int>> runs(kTasks);
    std::mutex mutex;
    std::set<std::thread::id> threads;
    auto task = [&](size_t i) {
        ++runs[i];
        {
            std::lock_guard lock(mutex);
            threads.insert(std::this_thread::get_id());
        }
        // Task 150 may well end before task 17 starts on another worker:
        // the one raised is still 17's.
        if (i == 17 || i == 150)
            throw std::runtime_error("task " + std::to_string(i));
    };
    try {
        RunOnWorkers(kTasks, task);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "task 17");
    }
    for (size_t i = 0; i < kTasks; ++i)
        EXPECT_EQ(runs[i].load(), 1) << "task " << i;
    if (GetParam() == 1)
        EXPECT_EQ(threads, std::set<std::thread::id>{std::this_thread::get_id()});
    else
        EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
}

TEST_P(RunOnWorkersTest, NoTasksIsNothingToDo)
{
    bool ran = false;
    RunOnWorkers(0, [&](size_t) { ran = true; });
    EXPECT_FALSE(ran);
}

INSTANTIATE_TEST_SUITE_P(Workers, RunOnWorkersTest, ::testing::Values(1, 4));

} // namespace
