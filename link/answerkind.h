#ifndef ANSWERKIND_H
#define ANSWERKIND_H

#include <cstddef>

// Answers carry no sequence number: the late answer of an earlier request
// may come while another one is outstanding. The shape of its body can
// still rule it out: a badge record never answers a transaction, a
// creation or a format, nor a poll; a poll answer never answers a read.
// False only when the body cannot be the answer of request c1 c2.
bool AnswerFitsRequest(char c1, char c2, char status, const char *body, std::size_t length);

#endif
