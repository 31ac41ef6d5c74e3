// Placeholder: the configuration window is being built.
#include <cstdio>
int main() {
    std::fputs("ConfigTarvo: the configuration window is not built yet\n", stderr);
    return 1;
}
