#include <cstdio>

// The application and its command-line client are assembled here as their subsystems land.
int main() {
    std::fputs("tavlin: the launcher application is not assembled yet; see the README.\n", stderr);
    return 1;
}
