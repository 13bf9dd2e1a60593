#include <gtest/gtest.h>

#include "tests/core/test_support.h"
