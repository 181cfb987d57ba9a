/* A program made of the resources alone, for check_resources.py while no other executable
   links them. */
int main(void) { return 0; }
