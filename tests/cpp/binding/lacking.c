/* A runtime that has only the first name of the list: the second is missing. */
void QX_Segment_destroy(void) {}
