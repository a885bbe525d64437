#include "testing/CoreEnv.h"
#include "testing/TestRunner.h"

// The test main of the lowest layers: the core environment afresh around each test.
int main(int argc, char** argv) {
    return zelmora::testenv::runAllTests(argc, argv, &zelmora::testenv::resetCoreEnvironment);
}
