// The reference of the start-up benchmark: a program that does nothing,
// linked with the same libraries as Wren.
int main()
{
    return 0;
}
