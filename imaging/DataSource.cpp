#include "DataSource.h"

CDataSource::~CDataSource() = default;

void CDataSource::Open(const std::string& name, const uint8_t* data, size_t size)
{
    m_strName = name;
    m_pStartData = data;
    m_pCurPos = data;
    m_FileSize = size;
    m_bOpen = true;
}

void CDataSource::Close()
{
    m_strName.clear();
    m_pStartData = nullptr;
    m_pCurPos = nullptr;
    m_FileSize = 0;
    m_bOpen = false;
}

void CDataSource::ThrowEndOfFile()
{
    throw CTextException(11, kEndOfFileText);
}
