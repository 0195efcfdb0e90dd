/* The smallest Windows program: a stand-in for the update utility when attaching patches. */
int main(void) { return 0; }
