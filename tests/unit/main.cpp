#include <gtest/gtest.h>

#include "imaging/ImageKit.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  kalvane::IKInitialize();
  return RUN_ALL_TESTS();
}
