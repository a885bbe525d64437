#pragma once

// The body of both test mains: an offscreen application, then every test with the
// given environment reset around it.
namespace zelmora::testenv {

int runAllTests(int argc, char** argv, void (*reset)());

}  // namespace zelmora::testenv
