// The baseline of the program's benchmarks under Wine: a process that starts and ends at once.
int main() { return 0; }
