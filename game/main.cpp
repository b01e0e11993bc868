// The program's entry point. The game itself is not wired up yet.
int main() { return 0; }
