// An empty C++ program: what starting any process costs.
int main() { return 0; }
