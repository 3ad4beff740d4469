/* zpk property library: the C interface shared by proptest, the zpkx editor
 * and the _zelta Python module.  Every function is safe to call from many
 * threads at once on distinct streams; failures never throw, they set the
 * calling thread's error state (getErrFlag/ErrMsg) and return the failure
 * value documented in docs/api.md (0 for int results, NaN for double results
 * where 0 is a valid value, a null pointer for text results).
 *
 * Texts returned by the library stay owned by the library and remain valid
 * until the same thread calls the same function again.
 */
#ifndef ZPK_ZPK_H
#define ZPK_ZPK_H

#if defined(_WIN32)
#if defined(ZPK_BUILDING_LIBRARY)
#define ZPK_API __declspec(dllexport)
#else
#define ZPK_API /* no dllimport: static test doubles link too (docs/windows.md) */
#endif
#else
#define ZPK_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

ZPK_API int CFGInt(int);
ZPK_API double CFGReal(int);
ZPK_API int AFOpen(char*);
ZPK_API int AFSave(char*);
ZPK_API int setErrFlag(int);
ZPK_API int getErrFlag(void);
ZPK_API char* ErrMsg(void);
ZPK_API int isSDef(int);
ZPK_API int isSopDef(int);
ZPK_API int getUMC(int);
ZPK_API int setUMC(int, int);
ZPK_API int getUMN(int);
ZPK_API double UMCR(double, int, int);
ZPK_API double UMCS(double, int, int);
ZPK_API int UMAU(double, double, char*, int);
ZPK_API int UMRAU(int);
ZPK_API char* getUMS(int, int);
ZPK_API char* getSUMS(int);
ZPK_API double getPatm(void);
ZPK_API int getPKnr(void);
ZPK_API int getPKdnr(void);
ZPK_API char* getPKN(int);
ZPK_API int putPKN(int, char*);
ZPK_API int getPKM(int, int, int);
ZPK_API int putPKM(int, int, int, int);
ZPK_API int getPKS(int, int);
ZPK_API int putPKS(int, int, int);
ZPK_API int setPK(int, int);
ZPK_API int getMDnr(void);
ZPK_API char* getMDN(int);
ZPK_API int getMDP(int, int, int);
ZPK_API int getMDC(int);
ZPK_API int getMDR(int);
ZPK_API int getMDBnr(int, int);
ZPK_API char* getMDBN(int, int, int);
ZPK_API int getMDRnr(int);
ZPK_API int getMDInr(int);
ZPK_API char* StrN(int);
ZPK_API int putN(int, char*);
ZPK_API double StrZv(int);
ZPK_API double EStrZv(int, double, double);
ZPK_API double StrMw(int);
ZPK_API double StrGMw(int);
ZPK_API double EStrGMw(int, double, double);
ZPK_API double StrLMw(int);
ZPK_API double EStrLMw(int, double, double);
ZPK_API double StrGSS(int);
ZPK_API double EStrGSS(int, double, double);
ZPK_API double StrLSS(int);
ZPK_API double EStrLSS(int, double, double);
ZPK_API double StrMSS(int);
ZPK_API double EStrMSS(int, double, double);
ZPK_API int setHB(int, double, double);
ZPK_API double StrGH(int);
ZPK_API double StrSGH(int);
ZPK_API double StrLH(int);
ZPK_API double StrSLH(int);
ZPK_API double StrSH(int);
ZPK_API double StrSSH(int);
ZPK_API double StrGICp(int);
ZPK_API double StrGCp(int);
ZPK_API double EStrGCp(int, double, double);
ZPK_API double StrLCp(int);
ZPK_API double EStrLCp(int, double, double);
ZPK_API double StrSCp(int);
ZPK_API double EStrSCp(int, double, double);
ZPK_API double StrGCv(int);
ZPK_API double EStrGCv(int, double, double);
ZPK_API double StrLCv(int);
ZPK_API double EStrLCv(int, double, double);
ZPK_API double StrGIC(int);
ZPK_API double EStrGIC(int, double, double);
ZPK_API double StrLIC(int);
ZPK_API double EStrLIC(int, double, double);
ZPK_API double StrGVE(int);
ZPK_API double EStrGVE(int, double, double);
ZPK_API double StrLVE(int);
ZPK_API double EStrLVE(int, double, double);
ZPK_API double StrGJT(int);
ZPK_API double EStrGJT(int, double, double);
ZPK_API double StrLJT(int);
ZPK_API double EStrLJT(int, double, double);
ZPK_API double StrH(int);
ZPK_API double EStrH(int, double, double);
ZPK_API int setSB(int, double, double);
ZPK_API double StrS(int);
ZPK_API double EStrS(int, double, double);
ZPK_API double StrGS(int);
ZPK_API double StrSGS(int);
ZPK_API double StrLS(int);
ZPK_API double StrSLS(int);
ZPK_API double StrSS(int);
ZPK_API double StrSSS(int);
ZPK_API double BPF(int, double);
ZPK_API double DPF(int, double);
ZPK_API double LfTF(int, double, double);
ZPK_API double LfPF(int, double, double);
ZPK_API double PfPF(int, double, double, int, int);
ZPK_API double PfTF(int, double, double, int, int);
ZPK_API double SPF(int, double, double, double);
ZPK_API double STF(int, double, double, double);
ZPK_API double HPF(int, double, double, double);
ZPK_API double HTF(int, double, double, double);
ZPK_API double VPF(int, double, double, double);
ZPK_API double VTF(int, double, double, double);
ZPK_API int HVF(int, double, double, double, double);
ZPK_API int SVF(int, double, double, double, double);
ZPK_API int HSF(int, double, double, double, double);
ZPK_API int setOp(int, double, double);
ZPK_API int setSOp(int);
ZPK_API int Divi(int, int, double);
ZPK_API int MixF(int, int, int, double, double);
ZPK_API int LSep(int, int);
ZPK_API int GSep(int, int);
ZPK_API int VLLSep(int, int, int, int);
ZPK_API int PSep(int, int, int);
ZPK_API double StrFML(int);
ZPK_API double EStrFML(int, double, double);
ZPK_API double StrFMH(int);
ZPK_API double EStrFMH(int, double, double);
ZPK_API double StrRVP(int, int);
ZPK_API double StrFLP(int);
ZPK_API double StrHC(int);
ZPK_API double EStrHC(int, double, double);
ZPK_API double StrLV(int);
ZPK_API double EStrLV(int, double, double);
ZPK_API double StrGV(int);
ZPK_API double EStrGV(int, double, double);
ZPK_API double StrV(int);
ZPK_API double EStrV(int, double, double);
ZPK_API double StrGD(int);
ZPK_API double EStrGD(int, double, double);
ZPK_API double StrLD(int);
ZPK_API double EStrLD(int, double, double);
ZPK_API double StrSD(int);
ZPK_API double EStrSD(int, double, double);
ZPK_API double StrGC(int);
ZPK_API double EStrGC(int, double, double);
ZPK_API double StrLC(int);
ZPK_API double EStrLC(int, double, double);
ZPK_API double StrST(int);
ZPK_API double EStrST(int, double, double);
ZPK_API double StrLf(int);
ZPK_API double EStrLf(int, double, double);
ZPK_API int getPNr(void);
ZPK_API int StrPt(int, int);
ZPK_API char* StrPts(int, int);
ZPK_API int setValidSop(int);
ZPK_API int rstValidSop(int);
ZPK_API int putPt(int, int, int);
ZPK_API int putPf(int, int, double);
ZPK_API double StrPf(int, int);
ZPK_API double EStrPf(int, int, double, double);
ZPK_API int isValidPhase(int, int);
ZPK_API int setValidPhase(int, int);
ZPK_API int StrCopy(int, int);
ZPK_API int StrCopyOp(int, int);
ZPK_API int StrCPnr(int);
ZPK_API double StrPc(int, int);
ZPK_API double StrTc(int, int);
ZPK_API double StrCBp(int);
ZPK_API double StrCBt(int);
ZPK_API double StrCTp(int);
ZPK_API double StrCTt(int);
ZPK_API double StrAc(int);
ZPK_API double StrPcm(int);
ZPK_API double StrTcm(int);
ZPK_API int setWm(int, double);
ZPK_API double getWm(int);
ZPK_API double getT(int);
ZPK_API int putT(int, double);
ZPK_API double getP(int);
ZPK_API int putP(int, double);
ZPK_API int getMSNr(void);
ZPK_API int getCNr(int);
ZPK_API int getMCNr(void);
ZPK_API double getY(int, int);
ZPK_API double getX(int, int);
ZPK_API double getW(int, int, int);
ZPK_API int putW(int, int, int, double);
ZPK_API double getZ(int, int);
ZPK_API int putZ(int, int, double);
ZPK_API int getCC(int, int);
ZPK_API int putCC(int, int, int);
ZPK_API int getFCNr(void);
ZPK_API int getMFCNr(void);
ZPK_API int getFPNr(void);
ZPK_API int CompCNL(void);
ZPK_API char* CompN(int);
ZPK_API char* CompN1(int);
ZPK_API char* CompN2(int);
ZPK_API int CompCFL(void);
ZPK_API char* CompF(int);
ZPK_API int sortUL(int);
ZPK_API int getULnr(void);
ZPK_API int codeToUL(int);
ZPK_API int ULtocode(int);
ZPK_API int CompID(int);
ZPK_API int CompCID(int);
ZPK_API double CompMw(int);
ZPK_API double CompTc(int);
ZPK_API double CompPc(int);
ZPK_API double CompAc(int);
ZPK_API double CompVc(int);
ZPK_API double CompDm(int);
ZPK_API double CompRg(int);
ZPK_API double CompSol(int);
ZPK_API double CompHf(int);
ZPK_API double CompGf(int);
ZPK_API double CompSf(int);
ZPK_API double CompNb(int);
ZPK_API double CompMp(int);
ZPK_API double CompVP(int, double);
ZPK_API double CompHG(int, double, double);
ZPK_API double CompHL(int, double, double);
ZPK_API double CompHS(int, double, double);
ZPK_API double CompSG(int, double, double);
ZPK_API double CompSL(int, double, double);
ZPK_API double CompSS(int, double, double);
ZPK_API double CompHV(int, double);
ZPK_API double CompLV(int, double);
ZPK_API double CompGV(int, double);
ZPK_API double CompLD(int, double);
ZPK_API double CompSD(int, double);
ZPK_API double CompLC(int, double);
ZPK_API double CompGC(int, double);
ZPK_API double CompSC(int, double);
ZPK_API double CompST(int, double);
ZPK_API int initS(int);
ZPK_API int setS(int);
ZPK_API int loadSB(int, int);
ZPK_API int SBIPnr(int, int);
ZPK_API int setMP(int, int, int, int);
ZPK_API int getMP(int, int, int);
ZPK_API int getKO(int);
ZPK_API int putKO(int, int);
ZPK_API int getKS(int, int);
ZPK_API int putKS(int, int, int);
ZPK_API int getMBPNr(void);
ZPK_API int putCi(int, int, int);
ZPK_API int putCj(int, int, int);
ZPK_API int getCi(int, int);
ZPK_API int getCj(int, int);
ZPK_API int putMB(int, int, int);
ZPK_API int getMB(int, int);
ZPK_API int putBIP(int, int, int, double);
ZPK_API double getBIP(int, int, int);
ZPK_API int PIPE(int, int, double, double, double, double, double);
ZPK_API double ISPF(int, double, int, double);
ZPK_API double PSPF(int, double, int, double);
ZPK_API double HPFORM(int, double, int);
ZPK_API double HTFORM(int, double, int);
ZPK_API int PELNr(int);
ZPK_API int PELT(int, int);
ZPK_API int PELP(int, int);
ZPK_API double PEPt(int, int, int, int, int);
ZPK_API int DPinit(int, int);
ZPK_API int StrFv(int, int, double, double, double*, double*);
ZPK_API int StrFvd(int, int, double, double, double*, double*, double*, double*, double* *);
ZPK_API int StrVv(int, int, double, double, double*, double*);
ZPK_API int StrVvd(int, int, double, double, double*, double*, double*, double*, double*);
ZPK_API int StrHv(int, int, double, double, double*, double*);
ZPK_API int StrHvd(int, int, double, double, double*, double*, double*, double*, double*);
ZPK_API int StrSv(int, int, double, double, double*, double*);
ZPK_API int StrSvd(int, int, double, double, double*, double*, double*, double*, double*);

/* Functions that only the test driver calls. */
ZPK_API int getASNr(void);
ZPK_API int defErrMsg(int mode);
ZPK_API char* getDATAF(void);
ZPK_API double StrMDt(int stream);
ZPK_API int PELine(int stream, int line, double* first, double* second, int capacity);
ZPK_API int PFLine(int stream, int kind, double fraction, double* first, double* second, int capacity);
ZPK_API int BRegr(int stream, int nComp, int code, int a, int b, int c, int nPoints, int* flags, double* x,
                  double* y, double* T, double* P, double* params, double* xOut, double* yOut);
ZPK_API int DCOL(int kind, int nStages, int mode, double* a4, double* stagePressures, double* a6, double* a7,
                 int topStream, int bottomStream, int nFeeds, int* feedStreams, int* feedStages, int nDraws,
                 int* drawStreams, int* drawStages, int* drawKinds, double* drawAmounts, int nSpecs,
                 double* duties, int* specA, int* specB, int* specC, double* specValues, double* results);

#ifdef __cplusplus
}
#endif

#endif
