// The lab backend's tests. Run with --poll-group=<name> the executable polls
// that group's states once instead, as the wizard's next process would, and
// exits 1 if it answered offline, 0 if not, 2 if the poll failed.
#include "ClusterCalls.h"

#include <gtest/gtest.h>

#include <cstring>

int main(int argc, char** argv)
{
    constexpr char kPollGroup[] = "--poll-group=";
    if (argc == 2 && std::strncmp(argv[1], kPollGroup, sizeof(kPollGroup) - 1) == 0)
        return PollGroupOnce(argv[1] + sizeof(kPollGroup) - 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
