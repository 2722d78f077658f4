// Stand-in for the product's updater: a console program that says what it is and ends.
#include <cstdio>

int main() {
    std::puts("Zunor 2021 updater (probni program): nema novih verzija.");
    return 0;
}
