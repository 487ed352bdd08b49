#include <gtest/gtest.h>

#include "tests/platform/test_boards.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!quillmoor::test::ReadBoardArguments(argc, argv)) return 2;
    ::testing::AddGlobalTestEnvironment(quillmoor::test::MakeBoardEnvironment());
    return RUN_ALL_TESTS();
}
