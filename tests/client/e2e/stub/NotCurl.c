/* A library by libcurl's file name with none of its functions: what the client meets when
** the library on its path is not the one it was built against. */
int not_curl(void)
{
    return 0;
}
