// Placeholder entry until the main window lands.
#include <cstdio>
int main() { std::puts("Quisk Motion Detector"); return 0; }
