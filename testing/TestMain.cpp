#include "testing/TestEnv.h"
#include "testing/TestRunner.h"

int main(int argc, char** argv) {
    return zelmora::testenv::runAllTests(argc, argv, &zelmora::testenv::resetEnvironment);
}
