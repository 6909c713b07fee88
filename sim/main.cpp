#include <cstdio>

int main() {
    std::fputs("kalvora-sim: not built yet\n", stderr);
    return 1;
}
