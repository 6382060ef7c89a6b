#ifndef ENWLINK_PUBLISHERNAMES_H
#define ENWLINK_PUBLISHERNAMES_H

#include <QString>
#include <QStringList>

// The names publishers' download buttons give a paper's file, made of its DOI
// and the URLs of its record (without the ".pdf"):
// - the DOI's suffix, the part after "10.NNNN/", and its last segment, when
//   that is six characters or more and not digits alone
//   ("s41598-021-91064-y", "PhysRevE.82.016318", "btac020");
// - bioRxiv and medRxiv (10.1101): the suffix + "v1" to "v9" + ".full";
// - arXiv: the id, alone and + "v1" to "v9", from a DOI "10.48550/arXiv.{id}"
//   or an arxiv.org/abs/ or /pdf/ URL;
// - Elsevier: "1-s2.0-{PII}-main", the PII from a ScienceDirect URL
//   (".../pii/S…") or from an old DOI "10.1016/S…" without its punctuation;
// - SSRN: "ssrn-{id}" and "SSRN-id{id}", the id from a DOI
//   "10.2139/ssrn.{id}" or an ssrn.com URL's "abstract_id=" or "abstract=".
// Each is a renaming of the record's own identifiers, so it ties the file to
// the record as its DOI name does.
QStringList publisherFileNames(const QString &doi, const QStringList &urls);

// Whether a URL's host is one whose papers' files carry a name made of it
// (arXiv, ScienceDirect, SSRN): most URLs are a journal's or a database's.
bool mayNameFile(QStringView url);

#endif
