#include <cstdio>
int main() {
    std::puts("volnar-station: not built yet");
    return 1;
}
