// The floor of a batch run's start-up: a C++ program that prints one line through the standard
// streams and does nothing else, linked like the batch tool (libstdc++, libspng), so its start
// costs what loading those libraries and starting the C++ run time cost.
#include <spng.h>

#include <iostream>

int main() {
  // One call into libspng, so that the library is loaded and bound as in the tool.
  std::cout << "spng " << spng_version_string() << '\n';
  return 0;
}
