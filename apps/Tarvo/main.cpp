// Placeholder: the front-desk window is being built.
#include <cstdio>
int main() {
    std::fputs("Tarvo: the front-desk window is not built yet\n", stderr);
    return 1;
}
