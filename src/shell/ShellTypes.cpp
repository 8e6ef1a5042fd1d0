#include "shell/ShellTypes.h"

#include <memory>

namespace shell {

namespace {

std::unique_ptr<std::vector<pf::String>>& Table() {
  static std::unique_ptr<std::vector<pf::String>> t;
  return t;
}

}  // namespace

const std::vector<pf::String>& NetworkProviderNames() {
  auto& t = Table();
  if (!t) {
    t = std::make_unique<std::vector<pf::String>>(std::vector<pf::String>{
        u"WNNC_NET_MSNET", u"WNNC_NET_LANMAN", u"WNNC_NET_NETWARE", u"WNNC_NET_VINES", u"WNNC_NET_10NET",
        u"WNNC_NET_LOCUS", u"WNNC_NET_SUN_PC_NFS", u"WNNC_NET_LANSTEP", u"WNNC_NET_9TILES", u"WNNC_NET_LANTASTIC",
        u"WNNC_NET_AS400", u"WNNC_NET_FTP_NFS", u"WNNC_NET_PATHWORKS", u"WNNC_NET_LIFENET", u"WNNC_NET_POWERLAN",
        u"WNNC_NET_BWNFS", u"WNNC_NET_COGENT", u"WNNC_NET_FARALLON", u"WNNC_NET_APPLETALK", u"WNNC_NET_INTERGRAPH",
        u"WNNC_NET_SYMFONET", u"WNNC_NET_CLEARCASE", u"WNNC_NET_FRONTIER ", u"WNNC_NET_BMC", u"WNNC_NET_DCE",
        u"WNNC_NET_AVID", u"WNNC_NET_DOCUSPACE", u"WNNC_NET_MANGOSOFT", u"WNNC_NET_SERNET", u"WNNC_NET_RIVERFRONT1",
        u"WNNC_NET_RIVERFRONT2", u"WNNC_NET_DECORB", u"WNNC_NET_PROTSTOR", u"WNNC_NET_FJ_REDIR",
        u"WNNC_NET_DISTINCT", u"WNNC_NET_TWINS", u"WNNC_NET_RDR2SAMPLE", u"WNNC_NET_CSC", u"WNNC_NET_3IN1",
        u"WNNC_NET_EXTENDNET", u"WNNC_NET_STAC", u"WNNC_NET_FOXBAT", u"WNNC_NET_YAHOO", u"WNNC_NET_EXIFS",
        u"WNNC_NET_DAV", u"WNNC_NET_KNOWARE", u"WNNC_NET_OBJECT_DIRE", u"WNNC_NET_MASFAX", u"WNNC_NET_HOB_NFS",
        u"WNNC_NET_SHIVA", u"WNNC_NET_IBMAL", u"WNNC_NET_LOCK", u"WNNC_NET_TERMSRV", u"WNNC_NET_SRT",
        u"WNNC_NET_QUINCY"});
  }
  return *t;
}

void InitializeShellTypes() {}

void FinalizeShellTypes() { Table().reset(); }

}  // namespace shell
