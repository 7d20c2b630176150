#include "app/driver.hpp"

int main() {
  return run_corvane();
}
